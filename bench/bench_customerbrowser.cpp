// Customer browser benchmark: a database of N customers in G groups (every customer a member
// of one group), the browser opened on it (the tree read, both sections expanded and shown),
// a group opened, and search keystrokes in the field. Runs on the offscreen platform.
//
//   bench_customerbrowser [--customers N] [--groups G] [--dir DIR]
#include "common/testfolders.h"
#include "core/app/appcontext.h"
#include "core/app/dbsession.h"
#include "core/app/registrystore.h"
#include "core/app/settingsvalues.h"
#include "core/db/database.h"
#include "core/db/schema.h"
#include "core/db/transaction.h"
#include "ui/customers/customerbrowser.h"
#include "ui/customers/customertreemodel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QTreeView>

#include <cstdio>
#include <ctime>

namespace {

void fill(Database& db, int customers, int groups) {
    Transaction t(db);
    for (int g = 0; g < groups; ++g)
        db.execute(
            QStringLiteral("INSERT INTO Users (Username, FullName, IsGroup) VALUES (?, ?, 1)"),
            {QStringLiteral("group%1").arg(g, 2, 10, QLatin1Char('0')),
             QStringLiteral("Group %1").arg(g)});
    const qint32 firstGroup = db.scalar(QStringLiteral("SELECT MIN(Id) FROM Users")).toInt();
    for (int i = 0; i < customers; ++i) {
        db.execute(QStringLiteral("INSERT INTO Users (Username, FullName) VALUES (?, ?)"),
                   {QStringLiteral("user%1").arg(i, 6, 10, QLatin1Char('0')),
                    QStringLiteral("Customer %1 Harbour").arg(i)});
        db.execute(QStringLiteral("INSERT INTO UserGroupJoin (GroupId, UserLinkId) VALUES (?, "
                                  "last_insert_rowid())"),
                   {firstGroup + i % groups});
    }
    t.commit();
}

// Wall clock and processor time of one step (the machine is shared: the processor time is the
// figure to compare).
struct Stopwatch {
    QElapsedTimer wall;
    std::clock_t cpu = 0;
    void restart() {
        wall.restart();
        cpu = std::clock();
    }
    double wallMs() const { return double(wall.nsecsElapsed()) / 1e6; }
    double cpuMs() const { return double(std::clock() - cpu) * 1000.0 / CLOCKS_PER_SEC; }
};

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int customers = 100000;
    int groups = 50;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--customers"))
            customers = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--groups"))
            groups = args[i + 1].toInt();
    }
    CTestFolders folders; // settings and data of this run only
    const QString path = folders.filePath(QStringLiteral("bench.db"));
    CreateNewDatabase(path);
    {
        Database db;
        db.open(path);
        fill(db, customers, groups);
    }
    if (!theRegistry().open() || !RegWriteText(Reg::DatabasePath, path) ||
        !RegWriteYesNo(Reg::SuppressDatabasePrompt, true))
        return 1;
    CDatabaseSession session;
    if (!session.openAtStartup())
        return 1;

    QMdiArea area;
    area.resize(1000, 700);
    area.show();
    Stopwatch t;
    t.restart();
    CCustomerBrowser* browser = CCustomerBrowser::open(&area);
    if (!browser)
        return 1;
    QApplication::processEvents(); // laid out and painted
    const double openMs = t.wallMs(), openCpu = t.cpuMs();

    t.restart();
    browser->tree()->expand(browser->model()->index(0, 0, browser->model()->groupsSection()));
    QApplication::processEvents();
    const double groupMs = t.wallMs(), groupCpu = t.cpuMs();

    // Typing "user0123": every keystroke narrows the tree again.
    const QString typed = QStringLiteral("user0123");
    double worst = 0, total = 0, totalCpu = 0;
    for (qsizetype n = 1; n <= typed.size(); ++n) {
        t.restart();
        browser->searchField()->setText(typed.left(n));
        QApplication::processEvents();
        const double k = t.wallMs();
        worst = qMax(worst, k);
        total += k;
        totalCpu += t.cpuMs();
    }
    const QString shown = browser->countLabel()->text();
    t.restart();
    browser->searchField()->clear();
    QApplication::processEvents();
    const double clearMs = t.wallMs(), clearCpu = t.cpuMs();

    std::printf("customers %d in %d groups\n", customers, groups);
    std::printf("open browser      %8.1f ms wall %8.1f ms cpu\n", openMs, openCpu);
    std::printf("open one group    %8.1f ms wall %8.1f ms cpu (%d members)\n", groupMs, groupCpu,
                customers / groups);
    const double keys = double(typed.size());
    std::printf("search keystroke  %8.1f ms wall %8.1f ms cpu average, %.1f ms wall worst (%s "
                "at the end)\n",
                total / keys, totalCpu / keys, worst, qPrintable(shown));
    std::printf("clear the search  %8.1f ms wall %8.1f ms cpu\n", clearMs, clearCpu);
    browser->close();
    return 0;
}
