#include "ui/reports/reportcommands.h"

#include "core/app/dbsession.h"
#include "core/app/userinterface.h"
#include "core/db/dbexception.h"
#include "core/reports/incomedoc.h"
#include "core/reports/overduedoc.h"
#include "ui/reports/icvexportdlg.h"
#include "ui/reports/incomereportdlg.h"
#include "ui/reports/reportview.h"

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>

namespace {

// Loads the document and opens its window; no window when loading failed.
bool openReport(QMdiArea* area, std::unique_ptr<CReportDoc> doc, auto load) {
    Database* db = theDatabase();
    if (!db) {
        ui().showMessage(QStringLiteral("No database is open."), MessageIcon::Exclamation);
        return false;
    }
    try {
        CWaitCursor wait;
        load(*db);
    } catch (const DbException& e) {
        ui().showMessage(
            QStringLiteral("The %1 could not be read: %2").arg(doc->title(), e.message()),
            MessageIcon::Exclamation);
        return false;
    }
    auto* view = new CReportView(std::move(doc));
    QMdiSubWindow* sub = area->addSubWindow(view);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->resize(qMin(900, area->width()), qMin(600, area->height()));
    view->show();
    return true;
}

} // namespace

bool ShowIncomeReport(QMdiArea* area, const QDateTime& start, const QDateTime& end,
                      const QString& startText, const QString& endText) {
    auto doc = std::make_unique<CIncomeDoc>(start, end, startText, endText);
    CIncomeDoc* raw = doc.get();
    return openReport(area, std::move(doc), [raw](Database& db) { raw->load(db); });
}

bool ShowOverdueReport(QMdiArea* area) {
    auto doc = std::make_unique<COverdueDoc>();
    COverdueDoc* raw = doc.get();
    return openReport(area, std::move(doc), [raw](Database& db) { raw->load(db); });
}

void AddReportCommands(QWidget* mainWindow, QMdiArea* area, QMenuBar* menuBar) {
    QMenu* menu = menuBar->addMenu(QStringLiteral("&Reports"));
    menu->setObjectName(QStringLiteral("ReportsMenu"));
    QAction* income = menu->addAction(QStringLiteral("Show &income..."));
    income->setObjectName(QStringLiteral("actionShowIncome"));
    QObject::connect(income, &QAction::triggered, mainWindow, [mainWindow, area] {
        CIncomeReportDlg dlg(mainWindow);
        if (dlg.exec() == QDialog::Accepted)
            (void)ShowIncomeReport(area, dlg.start(), dlg.end(), dlg.startText(),
                                   dlg.endText()); // a failure was shown
    });
    QAction* overdue = menu->addAction(QStringLiteral("Show &overdue..."));
    overdue->setObjectName(QStringLiteral("actionShowOverdue"));
    QObject::connect(overdue, &QAction::triggered, mainWindow,
                     [area] { (void)ShowOverdueReport(area); }); // a failure was shown
    menu->addSeparator();
    QAction* icv = menu->addAction(QStringLiteral("&Export for ICVerify..."));
    icv->setObjectName(QStringLiteral("actionExportIcverify"));
    QObject::connect(icv, &QAction::triggered, mainWindow,
                     [mainWindow] { RunIcvExport(mainWindow); });
}
