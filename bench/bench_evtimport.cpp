// Event-log import benchmark: a saved event log (.evt) of Remote Access records imported into
// a new database, against the import of a FreeRADIUS detail file of the same sessions into
// another. Prints records per second of each and their ratio (the event log must import at no
// less than half the rate of the detail file).
//
//   bench_evtimport [--sessions N] [--users N] [--dir DIR]
#include "bench/benchmemory.h"
#include "bench/benchsupport.h"
#include "common/evtwriter.h"
#include "common/radiusdetail.h"
#include "core/db/database.h"
#include "core/db/schema.h"
#include "core/import/eventlogimport.h"
#include "core/import/importcodes.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>

namespace {

struct Session {
    QString user;
    QDateTime end;
    int seconds;
};

Session sessionOf(int i, int users) {
    const QDateTime base(QDate(2023, 1, 1), QTime(0, 0, 0));
    return {QStringLiteral("user%1").arg(i % users, 5, 10, QLatin1Char('0')),
            base.addSecs(qint64(i) * 17), 60 + (i * 7919) % 7200};
}

bool writeEvt(const QString& path, int sessions, int users) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || !f.seek(48))
        return false;
    QByteArray chunk;
    qint64 body = 0;
    for (int i = 0; i < sessions; ++i) {
        const Session s = sessionOf(i, users);
        chunk += EvtTestRecordBytes(
            RasTestRecord(s.user, s.end.addSecs(-s.seconds), s.end, s.seconds / 60, s.seconds % 60),
            quint32(i + 1));
        if (chunk.size() > (1 << 20) || i + 1 == sessions) {
            if (f.write(chunk) != chunk.size())
                return false;
            body += chunk.size();
            chunk.clear();
        }
    }
    // The header and the end-of-file record of a log of those records.
    const QByteArray empty = EvtTestLog({});
    QByteArray header = empty.left(48);
    const quint32 end = quint32(48 + body);
    for (int i = 0; i < 4; ++i)
        header[20 + i] = char((end >> (8 * i)) & 0xff);
    return f.write(empty.mid(48)) == 40 && f.seek(0) && f.write(header) == 48;
}

bool writeDetail(const QString& path, int sessions, int users) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray chunk;
    RadiusDetailSession d;
    for (int i = 0; i < sessions; ++i) {
        const Session s = sessionOf(i, users);
        d.user = s.user;
        d.written = s.end;
        d.sessionTime = s.seconds;
        d.sessionId = QStringLiteral("%1").arg(i, 8, 16, QLatin1Char('0'));
        chunk += RadiusDetailRecord(d);
        if (chunk.size() > (1 << 20) || i + 1 == sessions) {
            if (f.write(chunk) != chunk.size())
                return false;
            chunk.clear();
        }
    }
    return true;
}

// Records per second of processor time (the figure that does not depend on the machine's
// load); 0 when the import did not store every session.
double importRate(const QString& dbPath, int system, const QString& log, int sessions) {
    CreateNewDatabase(dbPath);
    Database db;
    db.open(dbPath);
    EventLogImportRequest r;
    r.authSystem = system;
    r.serverId = 1;
    r.logFile = log;
    resetPeak();
    QElapsedTimer t;
    t.start();
    const double cpu0 = cpuSeconds();
    const EventLogImportOutcome out = ImportEventLogInto(db, r);
    const double seconds = double(t.nsecsElapsed()) / 1e9;
    const double cpu = cpuSeconds() - cpu0;
    std::printf("%-8s result %d, %d records, %d stored, %.2f s wall (%.0f records/s), %.2f s "
                "CPU (%.0f records/s), peak %.1f MB\n",
                system == AUTH_RADIUS ? "radius" : "evt", out.result, out.total, out.found, seconds,
                out.total / seconds, cpu, out.total / cpu, peakKiB() / 1024.0);
    return out.result == IMPORT_OK && out.found == sessions ? out.total / cpu : 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    int sessions = 200000;
    int users = 2000;
    QString dir = QDir::tempPath();
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--sessions"))
            sessions = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--users"))
            users = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--dir"))
            dir = args[i + 1];
    }
    QTemporaryDir tmp(dir + QStringLiteral("/bench_evtimport-XXXXXX"));
    if (!tmp.isValid() || sessions <= 0 || users <= 0)
        return 2;
    const QString evt = tmp.filePath(QStringLiteral("system.evt"));
    const QString detail = tmp.filePath(QStringLiteral("detail"));
    if (!writeEvt(evt, sessions, users) || !writeDetail(detail, sessions, users))
        return 1;
    std::printf("%d sessions: .evt %.0f MB, detail %.0f MB\n", sessions,
                QFileInfo(evt).size() / 1048576.0, QFileInfo(detail).size() / 1048576.0);
    const double radius =
        importRate(tmp.filePath(QStringLiteral("radius.db")), AUTH_RADIUS, detail, sessions);
    const double evtRate =
        importRate(tmp.filePath(QStringLiteral("evt.db")), AUTH_REMOTE_ACCESS, evt, sessions);
    const double ratio = radius > 0 ? evtRate / radius : 0;
    std::printf("event log / detail file (CPU): %.2f (at least 0.50 wanted)\n", ratio);
    return ratio >= 0.5 ? 0 : 1;
}
