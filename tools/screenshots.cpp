// tk-screenshots [FOLDER]: draws the pictures of the README on the offscreen platform and
// saves them as PNG files in FOLDER (default docs/images): the main window with the sample
// month's invoices and the log open ("main-window.png"), and one invoice window
// ("invoice-window.png") and the customer browser with a group open ("customer-browser.png").
//
// It works on a fresh copy of the sample database with its month billed, in a temporary
// folder that also holds the settings and the data folder: the user's own are not touched.
#include "core/app/dbsession.h"
#include "ui/app/guiuserinterface.h"
#include "ui/app/logframe.h"
#include "ui/app/mainframe.h"
#include "core/app/registrystore.h"
#include "core/app/userinterface.h"
#include "core/sample/sampledata.h"
#include "core/jobs/samplemonth.h"
#include "core/db/datetimeutil.h"
#include "ui/invoice/invoiceframe.h"
#include "ui/customers/customerbrowser.h"
#include "ui/customers/customertreemodel.h"
#include "core/jobs/monthlyjob.h"

#include <QApplication>
#include <QDir>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPixmap>
#include <QTemporaryDir>
#include <QThread>
#include <QTreeView>
#include <cstdio>

namespace {

int fail(const QString& text) {
    std::fprintf(stderr, "tk-screenshots: %s\n", qPrintable(text));
    return 1;
}

void settle() {
    for (int i = 0; i < 20; ++i) {
        QApplication::processEvents();
        QThread::msleep(10);
    }
}

bool save(QWidget* widget, const QString& path) {
    settle();
    const QPixmap pixmap = widget->grab();
    if (pixmap.isNull() || !pixmap.save(path, "PNG"))
        return false;
    std::printf("%s\n", qPrintable(QDir::toNativeSeparators(path)));
    return true;
}

qint32 invoiceOf(const MonthlyJobResult& r, const QString& logon) {
    for (const MonthlyJobInvoice& inv : r.invoices)
        if (inv.logonName == logon)
            return inv.number;
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    if (!home.isValid())
        return fail(QStringLiteral("no temporary folder"));
    // Settings and data folder of this run only, set before Qt reads them.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral("data"))));

    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Corvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Tollkeeper"));
    const QStringList args = QCoreApplication::arguments();
    const QString folder =
        QDir(args.size() > 1 ? args[1] : QStringLiteral("docs/images")).absolutePath();
    if (!QDir().mkpath(folder))
        return fail(QStringLiteral("cannot create %1").arg(folder));
    app.setFont(QFont(QStringLiteral("DejaVu Sans"), 9));

    CGuiUserInterface gui;
    setUi(&gui);
    if (!theRegistry().open(QStringLiteral("Tollkeeper"), QStringLiteral("Corvane")))
        return fail(QStringLiteral("no settings store"));

    const SampleMonthFiles files = PrepareSampleMonth(home.filePath(QStringLiteral("sample")));
    if (!files.ok)
        return fail(files.error);
    int status = 0;
    {
        CDatabaseSession session;
        CDatabaseSession::StartupOptions startup;
        startup.confirmPath = false;
        startup.createDefault = false;
        if (!session.openAtStartup(files.databasePath, startup))
            return fail(session.lastError());
        MonthlyJobOptions options;
        options.importFiles = {files.detailPath};
        options.serverName = QLatin1String(kSampleServerName);
        options.invoiceDate = DbFromLocal(SampleBillingDate());
        options.outputFolder = home.filePath(QStringLiteral("out"));
        options.pdf = false;
        const MonthlyJobResult job = RunMonthlyJob(*session.database(), options);
        if (!job.ok)
            return fail(job.failures.join(QLatin1Char(' ')));

        CMainFrame frame(&gui);
        frame.resize(1180, 780);
        frame.show();
        CLogFrame* log = frame.viewLogfile();
        QMdiArea* area = frame.mdiArea();
        const QStringList shown = {QStringLiteral("Harbor Business Park"),
                                   QStringLiteral("cnguyen"), QStringLiteral("alice")};
        CInvoiceFrame* last = nullptr;
        int offset = 0;
        for (const QString& logon : shown) {
            const qint32 num = invoiceOf(job, logon);
            if (num == 0 || !(last = CInvoiceFrame::open(area, *session.database(), num)))
                return fail(QStringLiteral("no invoice for %1").arg(logon));
            last->setGeometry(330 + offset, 10 + offset, 780, 640);
            offset += 36;
        }
        // The log of the job at the left, behind the invoices.
        if (log) {
            log->setGeometry(0, 240, 600, 470);
            log->lower();
        }
        area->setActiveSubWindow(last);
        settle();
        if (!save(&frame, QDir(folder).filePath(QStringLiteral("main-window.png"))))
            status = fail(QStringLiteral("cannot save main-window.png"));

        // The invoice alone, large enough to show the whole page head and the charges.
        last->showMaximized();
        frame.resize(980, 900);
        if (!save(last, QDir(folder).filePath(QStringLiteral("invoice-window.png"))))
            status = fail(QStringLiteral("cannot save invoice-window.png"));
        area->closeAllSubWindows();
        settle();

        // The customer browser: the first group opened, one of its members selected.
        CCustomerBrowser* browser = CCustomerBrowser::open(area);
        if (!browser)
            return fail(QStringLiteral("the customer browser could not be opened"));
        CCustomerTreeModel* model = browser->model();
        const QModelIndex group = model->index(0, 0, model->groupsSection());
        browser->tree()->expand(group);
        browser->tree()->setCurrentIndex(model->index(0, 0, group));
        browser->showMaximized();
        frame.resize(1000, 620);
        if (!save(browser, QDir(folder).filePath(QStringLiteral("customer-browser.png"))))
            status = fail(QStringLiteral("cannot save customer-browser.png"));
        area->closeAllSubWindows();
        settle();
    }
    theRegistry().close();
    setUi(nullptr);
    return status;
}
