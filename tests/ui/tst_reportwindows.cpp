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

using namespace Qt::StringLiterals;

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
    auto* start = dlg.findChild<QLineEdit*>(u"StartEdit"_s);
    auto* end = dlg.findChild<QLineEdit*>(u"EndEdit"_s);
    start->setText(u"2026-11-01"_s);
    end->setText(u"2026-11-01"_s);
    dlg.accept();
    QVERIFY(rec.hasMessage(u"The end time must proceed the start time."_s));
    QCOMPARE(dlg.result(), int(QDialog::Rejected));
    end->setText(u"2026-12-01 12:00:00"_s);
    dlg.accept();
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QCOMPARE(qint64(RegNumber(Reg::IncomeReportEndDate)),
             LocalToSeconds(QDate(2026, 12, 1), QTime(12, 0)));
    // The next dialog offers the remembered dates.
    CIncomeReportDlg again;
    auto* again_end = again.findChild<QLineEdit*>(u"EndEdit"_s);
    QCOMPARE(again_end->text(), FormatLocalDateTime(QDateTime(QDate(2026, 12, 1), QTime(12, 0))));
}

void TestReportWindows::columnsAreAsWideAsTheirWidestTextPlusThreeBlanks() {
    CTestFolders folders;
    const QString path = folders.filePath(u"r.db"_s);
    CreateNewDatabase(path);
    Database db;
    db.open(path);
    db.execute(u"INSERT INTO Invoices (IdUser, ClosingDate) VALUES (99, ?)"_s,
               {DbFromDate(2026, 11, 5).days()});
    auto doc =
        std::make_unique<CIncomeDoc>(QDateTime(QDate(2026, 11, 1), QTime(0, 0)),
                                     QDateTime(QDate(2026, 12, 1), QTime(0, 0)), u"a"_s, u"b"_s);
    doc->load(db);
    CReportView view(std::move(doc));
    const QFontMetricsF fm(view.layout().font(), view.viewport());
    const qreal blanks = fm.horizontalAdvance(u"   "_s);
    QCOMPARE(view.layout().columnWidths().value(1),
             fm.horizontalAdvance(u"*** User record missing ***"_s) + blanks);
    QCOMPARE(view.layout().columnWidths().value(0), fm.horizontalAdvance(u"Logon ID"_s) + blanks);
}

void TestReportWindows::icvDialogRefusesValuesThatBreakTheLine() {
    CTestFolders folders;
    App().reset();
    QVERIFY(theRegistry().open());
    CRecordingUi rec;
    CIcvExportDlg dlg;
    dlg.findChild<QLineEdit*>(u"StartEdit"_s)->setText(u"2026-11-01"_s);
    dlg.findChild<QLineEdit*>(u"EndEdit"_s)->setText(u"2026-12-01"_s);
    auto* comment = dlg.findChild<QLineEdit*>(u"CommentEdit"_s);
    dlg.findChild<QRadioButton*>(u"UseLogon"_s)->setChecked(true);
    QVERIFY(!comment->isEnabled());
    dlg.findChild<QRadioButton*>(u"UseText"_s)->setChecked(true);
    QVERIFY(comment->isEnabled());
    QCOMPARE(comment->maxLength(), 20);
    dlg.findChild<QLineEdit*>(u"ClerkEdit"_s)->setText(u"Al \"Z\""_s);
    dlg.accept();
    QCOMPARE(dlg.result(), int(QDialog::Rejected));
    QVERIFY(rec.hasMessage(u"Clerk must not hold a double quote or a line break."_s));
    QCOMPARE(RegText(Reg::ICVClerkText), u"Tollkeeper"_s); // nothing stored
}

QTEST_MAIN(TestReportWindows)
#include "tst_reportwindows.moc"
