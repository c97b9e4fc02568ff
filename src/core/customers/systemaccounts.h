#pragma once
#include <QList>
#include <QString>

// The login accounts of this computer, read from the system's account database through NSS
// (getpwent): the accounts of the local files and those of network sources (LDAP, NIS, SSSD)
// alike. An account counts as local when its name is listed in the local account file, as
// global otherwise. Only accounts whose UID lies in the login range of login.defs (UID_MIN to
// UID_MAX) are people's accounts; system and service accounts are left out.
struct SystemAccount {
    QString name;
    QString fullName; // the GECOS field up to its first comma
    QString comment;  // the rest of the GECOS field, after that comma
    uint uid = 0;
    bool local = false;
};

// Which accounts are wanted, and where the local facts are read. The paths are those of the
// system; they are parameters so that a caller can name other files (a test's own).
struct AccountSources {
    bool local = true;
    bool global = true;
    QString localFile = QStringLiteral("/etc/passwd");
    QString loginDefs = QStringLiteral("/etc/login.defs");
};

// The login UID range: UID_MIN and UID_MAX of a login.defs file, 1000 and 60000 (the
// system's own defaults) for values the file does not set or cannot be read.
struct UidRange {
    uint min = 1000;
    uint max = 60000;
};
UidRange ReadLoginUidRange(const QString& loginDefsPath);

// Splits a GECOS field into the full name (first comma-separated field) and the comment (the
// rest, after that comma, without empty fields at its end).
void SplitGecos(const QString& gecos, QString* fullName, QString* comment);

// The wanted accounts in the order NSS lists them, each name once. False with the reason in
// `error` when the local file cannot be read or the enumeration fails.
bool ReadSystemAccounts(const AccountSources& sources, QList<SystemAccount>* accounts,
                        QString* error);
