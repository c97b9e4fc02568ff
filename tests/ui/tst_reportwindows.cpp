// The report window and the dialogs of the reports and the card batch, offscreen.
#include "common/recordingui.h"
#include "common/testfolders.h"
#include "core/app/appcontext.h"
#include "core/app/registrystore.h"
#include "core/app/settingsvalues.h"
#include "core/db/database.h"
#include "core/db/datetimeutil.h"
#include "core/db/schema.h"
#include "core/reports/incomedoc.h"
#include "ui/reports/icvexportdlg.h"
#include "ui/reports/incomereportdlg.h"
#include "ui/reports/reportview.h"

#include <QLineEdit>
#include <QRadioButton>
#include <QtTest>

class TestReportWindows : public QObject {
    Q_OBJECT
private slots:
    void incomeDialogChecksAndRemembersThePeriod();
    void columnsAreAsWideAsTheirWidestTextPlusThreeBlanks();
    void icvDialogRefusesValuesThatBreakTheLine();
};

void TestReportWindows::incomeDialogChecksAndRemembersThePeriod() {
    CTestFolders folders;
    App().reset();
    QVERIFY(theRegistry().open());
    CRecordingUi rec;
    CIncomeReportDlg dlg;
    auto* start = dlg.findChild<QLineEdit*>(QStringLiteral("StartEdit"));
    auto* end = dlg.findChild<QLineEdit*>(QStringLiteral("EndEdit"));
    start->setText(QStringLiteral("2026-11-01"));
    end->setText(QStringLiteral("2026-11-01"));
    dlg.accept();
    QVERIFY(rec.hasMessage(QStringLiteral("The end time must proceed the start time.")));
    QCOMPARE(dlg.result(), int(QDialog::Rejected));
    end->setText(QStringLiteral("2026-12-01 12:00:00"));
    dlg.accept();
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QCOMPARE(qint64(RegNumber(Reg::IncomeReportEndDate)),
             LocalToSeconds(QDate(2026, 12, 1), QTime(12, 0)));
    // The next dialog offers the remembered dates.
    CIncomeReportDlg again;
    auto* again_end = again.findChild<QLineEdit*>(QStringLiteral("EndEdit"));
    QCOMPARE(again_end->text(), FormatLocalDateTime(QDateTime(QDate(2026, 12, 1), QTime(12, 0))));
}

void TestReportWindows::columnsAreAsWideAsTheirWidestTextPlusThreeBlanks() {
    CTestFolders folders;
    const QString path = folders.filePath(QStringLiteral("r.db"));
    CreateNewDatabase(path);
    Database db;
    db.open(path);
    db.execute(QStringLiteral("INSERT INTO Invoices (IdUser, ClosingDate) VALUES (99, ?)"),
               {DbFromDate(2026, 11, 5).days()});
    auto doc = std::make_unique<CIncomeDoc>(QDateTime(QDate(2026, 11, 1), QTime(0, 0)),
                                            QDateTime(QDate(2026, 12, 1), QTime(0, 0)),
                                            QStringLiteral("a"), QStringLiteral("b"));
    doc->load(db);
    CReportView view(std::move(doc));
    const QFontMetricsF fm(view.layout().font(), view.viewport());
    const qreal blanks = fm.horizontalAdvance(QStringLiteral("   "));
    QCOMPARE(view.layout().columnWidths().value(1),
             fm.horizontalAdvance(QStringLiteral("*** User record missing ***")) + blanks);
    QCOMPARE(view.layout().columnWidths().value(0),
             fm.horizontalAdvance(QStringLiteral("Logon ID")) + blanks);
}

void TestReportWindows::icvDialogRefusesValuesThatBreakTheLine() {
    CTestFolders folders;
    App().reset();
    QVERIFY(theRegistry().open());
    CRecordingUi rec;
    CIcvExportDlg dlg;
    dlg.findChild<QLineEdit*>(QStringLiteral("StartEdit"))->setText(QStringLiteral("2026-11-01"));
    dlg.findChild<QLineEdit*>(QStringLiteral("EndEdit"))->setText(QStringLiteral("2026-12-01"));
    auto* comment = dlg.findChild<QLineEdit*>(QStringLiteral("CommentEdit"));
    dlg.findChild<QRadioButton*>(QStringLiteral("UseLogon"))->setChecked(true);
    QVERIFY(!comment->isEnabled());
    dlg.findChild<QRadioButton*>(QStringLiteral("UseText"))->setChecked(true);
    QVERIFY(comment->isEnabled());
    QCOMPARE(comment->maxLength(), 20);
    dlg.findChild<QLineEdit*>(QStringLiteral("ClerkEdit"))->setText(QStringLiteral("Al \"Z\""));
    dlg.accept();
    QCOMPARE(dlg.result(), int(QDialog::Rejected));
    QVERIFY(rec.hasMessage(QStringLiteral("Clerk must not hold a double quote or a line break.")));
    QCOMPARE(RegText(Reg::ICVClerkText), QStringLiteral("Tollkeeper")); // nothing stored
}

QTEST_MAIN(TestReportWindows)
#include "tst_reportwindows.moc"
