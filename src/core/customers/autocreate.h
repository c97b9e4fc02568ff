#pragma once
#include "core/app/resultcodes.h"
#include "core/customers/systemaccounts.h"

#include <QDateTime>
#include <QString>

class Database;

// The creation of customers for logon names that have none yet: from the names of imported
// sessions, or from the login accounts of this computer. Every new customer gets the customer
// defaults (plans, start of service today, anniversary day, active, a Billing address whose
// e-mail is the name at the default domain), one customer per transaction, so a run that is
// interrupted or fails keeps the customers it created.
//
// A run shows its progress as status text in the busy state (Esc interrupts after the customer
// in hand) and ends with "Automated customer setup is complete.  Added %d new customers.",
// "Automated customer setup aborted.  Added %d new customers." (interrupted) or "Error adding
// new customers." (the engine's or the source's words in `error`). Views are refreshed when
// customers were added.
struct AutoCreateOutcome {
    int result = SystemResult::Ok; // Ok, Failed or Cancelled (interrupted)
    qint32 added = 0;
    QStringList names; // the customers created, in order
    QString error;     // why the run failed
};

// The starting date offered for the scan of sessions: the one of the last complete scan
// ("AutoCreateELastDate"), else 1 January 1996 00:00.
QDateTime AutoCreateSessionsDefaultStart();

// Creates a customer for every logon name with a session that began after `since` (a session
// beginning exactly then does not count) and no customer or group of that name (ignoring case),
// in name order. A complete run stores `since` as "AutoCreateELastDate".
AutoCreateOutcome CreateCustomersFromSessions(Database& db, const QDateTime& since);

// The choice of the dialog for the account database, kept in the settings ("AutoCreateNTServer",
// "AutoCreateNTLocal", "AutoCreateNTGlobal").
struct AccountScanChoice {
    QString server; // blank: this computer, the only one whose accounts can be read
    bool local = true;
    bool global = true;

    static AccountScanChoice read();
    // False when the settings store refused a value.
    bool write() const;
    // Why the scan cannot start (no kind chosen, another server named); empty when it can.
    QString problem() const;
};

// Creates a customer for every wanted login account whose name no customer or group has
// (ignoring case), with FullName and Comment from the account's GECOS field. A name that
// cannot be a customer's (longer than 40 characters, or with characters the database's text
// cannot hold) is skipped and named in the operation log.
AutoCreateOutcome CreateCustomersFromAccounts(Database& db, const AccountSources& sources);
