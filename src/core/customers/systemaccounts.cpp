#include "core/customers/systemaccounts.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>

#include <cerrno>
#include <cstring>
#include <pwd.h>

UidRange ReadLoginUidRange(const QString& loginDefsPath) {
    UidRange range;
    QFile file(loginDefsPath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return range;
    static const QRegularExpression line(QStringLiteral("^\\s*(UID_MIN|UID_MAX)\\s+(\\d+)\\s*$"));
    while (!file.atEnd()) {
        const QString text = QString::fromLocal8Bit(file.readLine());
        const QRegularExpressionMatch m = line.match(text);
        if (!m.hasMatch())
            continue;
        bool ok = false;
        const uint value = m.captured(2).toUInt(&ok);
        if (!ok)
            continue;
        if (m.captured(1) == QLatin1String("UID_MIN"))
            range.min = value;
        else
            range.max = value;
    }
    return range;
}

void SplitGecos(const QString& gecos, QString* fullName, QString* comment) {
    const qsizetype comma = gecos.indexOf(QLatin1Char(','));
    *fullName = (comma < 0 ? gecos : gecos.left(comma)).trimmed();
    // Fields left empty at the end ("Carol,,,") say nothing.
    QString rest = comma < 0 ? QString() : gecos.mid(comma + 1);
    while (!rest.isEmpty() && (rest.back() == QLatin1Char(',') || rest.back().isSpace()))
        rest.chop(1);
    *comment = rest.trimmed();
}

namespace {

// The names of the local account file. Lines of the old compat form ("+name", "-name") name
// network accounts and do not count.
bool readLocalNames(const QString& path, QSet<QString>* names, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.isEmpty() || line.startsWith('#') || line.startsWith('+') || line.startsWith('-'))
            continue;
        const qsizetype colon = line.indexOf(':');
        names->insert(QString::fromLocal8Bit(colon < 0 ? line : line.left(colon)));
    }
    return true;
}

// Ends the enumeration of getpwent whatever way the reading ends.
struct PasswdEnumeration {
    PasswdEnumeration() { setpwent(); }
    ~PasswdEnumeration() { endpwent(); }
    PasswdEnumeration(const PasswdEnumeration&) = delete;
    PasswdEnumeration& operator=(const PasswdEnumeration&) = delete;
};

} // namespace

bool ReadSystemAccounts(const AccountSources& sources, QList<SystemAccount>* accounts,
                        QString* error) {
    accounts->clear();
    QSet<QString> localNames;
    if (!readLocalNames(sources.localFile, &localNames, error))
        return false;
    const UidRange range = ReadLoginUidRange(sources.loginDefs);
    QSet<QString> seen;
    PasswdEnumeration enumeration;
    for (;;) {
        errno = 0;
        const passwd* pw = getpwent();
        if (!pw) {
            // The end of the list leaves errno 0 or ENOENT; anything else is a failure of a
            // source (a directory server that went away, say).
            if (errno != 0 && errno != ENOENT) {
                *error = QStringLiteral("Cannot read the user database: %1")
                             .arg(QString::fromLocal8Bit(std::strerror(errno)));
                return false;
            }
            return true;
        }
        if (pw->pw_uid < range.min || pw->pw_uid > range.max || !pw->pw_name)
            continue;
        SystemAccount account;
        account.name = QString::fromLocal8Bit(pw->pw_name);
        account.uid = pw->pw_uid;
        account.local = localNames.contains(account.name);
        if (account.name.isEmpty() || (account.local ? !sources.local : !sources.global))
            continue;
        // A name listed by two sources is the first source's (NSS order).
        if (seen.contains(account.name))
            continue;
        seen.insert(account.name);
        SplitGecos(QString::fromLocal8Bit(pw->pw_gecos ? pw->pw_gecos : ""), &account.fullName,
                   &account.comment);
        accounts->append(account);
    }
}
