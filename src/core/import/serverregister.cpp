#include "core/import/serverregister.h"

#include "core/app/userinterface.h"
#include "core/db/database.h"
#include "core/db/dbexception.h"
#include "core/db/schema.h"
#include "core/import/importcodes.h"

QList<ServerRow> ListServers(Database& db, bool* ok) {
    QList<ServerRow> list;
    try {
        CServerRecord rec(db);
        rec.openFilter(rec.defaultTable(), QStringLiteral("1 = 1 ORDER BY [ServerName]"));
        for (; !rec.isEOF(); rec.moveNext())
            list.append(rec.row());
        if (ok)
            *ok = true;
    } catch (const std::exception&) {
        list.clear();
        if (ok)
            *ok = false;
        ui().showMessage(QStringLiteral("Error accessing server table"), MessageIcon::Exclamation);
    }
    return list;
}

QString ServerNameOf(const QString& name) {
    QString text = name;
    text.remove(QChar(u'\0'));
    text = text.trimmed();
    if (text.size() > kDefaultTextSize)
        text.truncate(kDefaultTextSize);
    return text;
}

std::optional<ServerRow> FindServerByName(const QList<ServerRow>& servers,
                                          const QString& hostName) {
    const QString name = ServerNameOf(hostName);
    for (const ServerRow& s : servers)
        if (s.ServerName.compare(name, Qt::CaseInsensitive) == 0)
            return s;
    return std::nullopt;
}

std::optional<ServerRow> FindServerByName(Database& db, const QString& name) {
    return FindServerByName(ListServers(db), name);
}

int AddServer(Database& db, const QString& hostName, qint32* newId) {
    const QString name = ServerNameOf(hostName);
    try {
        CServerRecord rec(db);
        rec.openTable(rec.defaultTable());
        for (; !rec.isEOF(); rec.moveNext()) {
            if (rec.ServerName.compare(name, Qt::CaseInsensitive) == 0) {
                ui().showMessage(QStringLiteral("Server already exists."),
                                 MessageIcon::Exclamation);
                return IMPORT_FAILED;
            }
        }
        rec.addNew();
        rec.ServerName = name;
        rec.update();
        if (newId)
            *newId = qint32(rec.lastAddedKey());
        return IMPORT_OK;
    } catch (const std::exception&) {
        ui().showMessage(QStringLiteral("Error adding server."), MessageIcon::Exclamation);
        return IMPORT_FAILED;
    }
}

int ResolveServer(Database& db, const QString& name, qint32* id, bool* created) {
    if (created)
        *created = false;
    bool ok = false;
    const QList<ServerRow> servers = ListServers(db, &ok);
    if (!ok)
        return IMPORT_FAILED;
    if (const auto found = FindServerByName(servers, name)) {
        *id = found->Id;
        return IMPORT_OK;
    }
    const int rc = AddServer(db, name, id);
    if (rc == IMPORT_OK && created)
        *created = true;
    return rc;
}

int RenameServer(Database& db, qint32 id, const QString& newHostName) {
    const QString newName = ServerNameOf(newHostName);
    if (newName.isEmpty()) {
        ui().showMessage(QStringLiteral("Please enter a name."), MessageIcon::Exclamation);
        return IMPORT_INTERRUPTED;
    }
    try {
        CServerRecord rec(db);
        if (!rec.findById(id))
            throw DbException(QStringLiteral("No server %1.").arg(id));
        rec.edit();
        rec.ServerName = newName;
        rec.update();
        return IMPORT_OK;
    } catch (const std::exception&) {
        ui().showMessage(QStringLiteral("Error renaming server."), MessageIcon::Exclamation);
        return IMPORT_FAILED;
    }
}

int DeleteServer(Database& db, qint32 id, bool confirm) {
    if (confirm) {
        QString name;
        CServerRecord rec(db);
        if (rec.findById(id))
            name = rec.ServerName;
        const QString question =
            QStringLiteral("Delete the record for server '%1'?\r\n\r\nThis will have no effect on "
                           "the server itself.  But you should not delete the record unless you "
                           "plan never to import from '%1' again.  Otherwise you risk duplicating "
                           "logon event records.")
                .arg(name);
        if (!ui().askYesNo(question, MessageIcon::Question))
            return IMPORT_INTERRUPTED;
    }
    try {
        db.execute(QStringLiteral("DELETE FROM Servers WHERE Id = ?"), {id});
        return IMPORT_OK;
    } catch (const std::exception&) {
        ui().showMessage(QStringLiteral("Error deleting server record"), MessageIcon::Exclamation);
        return IMPORT_FAILED;
    }
}
