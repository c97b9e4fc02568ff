#pragma once
#include "core/db/fielddef.h"
#include "core/db/upgrade/upgradehost.h"

#include <QList>
#include <QString>

class Database;

// The state one upgrade run shares between its levels, and the routines their steps use.
// Every engine failure propagates as DbException; the driver turns it into the failure
// message with the level and step of the last marker.
class UpgradeContext {
public:
    UpgradeContext(Database& db, UpgradeHost& host, const UpgradeOptions& options);

    Database& db() { return m_db; }
    UpgradeHost& host() { return m_host; }
    const UpgradeOptions& options() const { return m_options; }

    // Sets the progress marker to minus (level * 65536 + step) before a step.
    void mark(int level, int step);
    int marker() const { return m_marker; }
    // Tells the caller what the current step changes.
    void note(const QString& what);

    // Asks once per process before the first change that needs the user's consent: kind 2
    // warns that invoice numbers change, kinds 2 and 3 that billing data is written to a
    // text file and deleted. False when the user declined.
    [[nodiscard]] bool consent(int kind);

    bool tableExists(const QString& table);
    bool fieldExists(const QString& table, const QString& field);
    // Adds a field unless it exists.
    void addField(const QString& table, const FieldDef& field);
    // Adds a field of the current layout unless it exists.
    void addCurrentField(const QString& table, const QString& field);
    // Deletes a field when it exists.
    void dropField(const QString& table, const QString& field);
    // Creates a table of the current layout with its indexes.
    void createCurrentTable(const QString& table);
    void createIndex(const QString& table, const QString& field, bool primary = false);
    // Runs one statement with the fail-on-error option.
    void exec(const QString& sql);

    // Records the table's indexes (at most 5) and deletes them from the last to the first.
    QList<IndexDef> saveAndDeleteIndexes(const QString& table);
    void restoreIndexes(const QString& table, const QList<IndexDef>& saved);

private:
    Database& m_db;
    UpgradeHost& m_host;
    const UpgradeOptions& m_options;
    int m_marker = 0;
};

// The consent of this process: given once, it holds for every later upgrade; a first-layout
// database clears it so its stronger warning is shown.
void ClearUpgradeConsent();
