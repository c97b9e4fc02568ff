#include "core/customers/customernames.h"

#include "core/db/database.h"

namespace {

QString formatProblem(const QString& name) {
    if (name.trimmed().isEmpty())
        return QStringLiteral("Please enter a logon name.");
    if (name.size() > kMaxCustomerNameLength)
        return QStringLiteral("The logon name '%1' is longer than %2 characters.")
            .arg(name)
            .arg(kMaxCustomerNameLength);
    return {};
}

QString takenMessage(const QString& name) {
    return QStringLiteral("A customer with the logon name of '%1' already exists.").arg(name);
}

bool isAscii(const QString& s) {
    for (QChar c : s)
        if (c.unicode() > 0x7f)
            return false;
    return true;
}

} // namespace

QString CustomerNameKey(const QString& name) {
    return name.toCaseFolded();
}

qint32 FindCustomerByName(Database& db, const QString& name) {
    if (name.isEmpty())
        return 0;
    // SQLite folds only ASCII letters; the indexed look-up settles ASCII names, any other name
    // is compared here with the full Unicode case folding.
    if (isAscii(name)) {
        const QVariant id = db.scalar(
            QStringLiteral("SELECT Id FROM Users WHERE Username = ? COLLATE NOCASE ORDER BY Id"),
            {name});
        return id.isValid() ? id.toInt() : 0;
    }
    return CustomerNameKeys(db).value(CustomerNameKey(name), 0);
}

QHash<QString, qint32> CustomerNameKeys(Database& db) {
    QHash<QString, qint32> keys;
    Statement st = db.prepare(QStringLiteral("SELECT Id, Username FROM Users ORDER BY Id"));
    while (st.next()) {
        const QString key = CustomerNameKey(st.value(1).toString());
        if (!keys.contains(key))
            keys.insert(key, st.value(0).toInt());
    }
    return keys;
}

QString NewCustomerNameProblem(Database& db, const QString& name) {
    const QString problem = formatProblem(name);
    if (!problem.isEmpty())
        return problem;
    return FindCustomerByName(db, name) != 0 ? takenMessage(name) : QString();
}

QString NewCustomerNameProblem(const QHash<QString, qint32>& takenKeys, const QString& name) {
    const QString problem = formatProblem(name);
    if (!problem.isEmpty())
        return problem;
    return takenKeys.contains(CustomerNameKey(name)) ? takenMessage(name) : QString();
}
