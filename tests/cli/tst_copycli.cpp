// tollkeeper-cli copy on the sample month's database: a copy there and back keeps every
// invoice and the numbering, a database with tables is never written over, and a copy that
// runs out of disk leaves no file behind.
#include "common/cliprocess.h"
#include "common/limitedcli.h"
#include "common/testfolders.h"

#include <QtTest>

using namespace Qt::StringLiterals;

class TestCopyCli : public QObject {
    Q_OBJECT

    CTestFolders m_folders;
    QString m_month; // the sample month, billed and kept

    QString dir() const { return m_folders.path(); }
    CliResult on(const QString& db, const QStringList& args) { return RunCliOn(dir(), db, args); }
    QString listed(const QString& db, const QStringList& args) {
        const CliResult r = on(db, args);
        return r.code == 0 ? r.out : r.err;
    }

private slots:
    void initTestCase() {
        QVERIFY2(CliMissing().isEmpty(), qPrintable(CliMissing()));
        QCOMPARE(RunCli(dir(), {u"month"_s, u"--sample"_s, u"--out"_s, u"job"_s}, 180000).code, 0);
        m_month = m_folders.filePath(u"job/tollk.sample.db"_s);
    }

    void copiesThereAndBack() {
        // The last invoice is deleted first: its number must not be handed out again.
        const QStringList numbers =
            listed(m_month, {u"invoice"_s, u"list"_s, u"--format"_s, u"csv"_s})
                .split(u'\n', Qt::SkipEmptyParts);
        const int last = numbers.last().section(u',', 0, 0).toInt();
        QVERIFY(last > 1);
        QCOMPARE(on(m_month, {u"--yes"_s, u"invoice"_s, u"delete"_s, QString::number(last)}).code,
                 0);
        const CliResult there = on(m_month, {u"copy"_s, u"--to"_s, u"there.db"_s});
        QVERIFY2(there.code == 0, qPrintable(there.err));
        QCOMPARE(on(u"back.db"_s, {u"copy"_s, u"--from"_s, u"there.db"_s}).code, 0);
        const QByteArray copied = FileBytes(m_folders.filePath(u"there.db"_s));
        const CliResult again = on(u"back.db"_s, {u"copy"_s, u"--to"_s, u"there.db"_s});
        QCOMPARE(again.code, 1);
        QVERIFY2(again.err.contains(u"is not empty; copy needs an empty one."_s),
                 qPrintable(again.err));
        QVERIFY(FileBytes(m_folders.filePath(u"there.db"_s)) == copied);
        for (const QStringList& args : {QStringList{u"schema"_s},
                                        {u"invoice"_s, u"list"_s, u"--format"_s, u"csv"_s},
                                        {u"balance"_s, u"--format"_s, u"csv"_s}}) {
            QCOMPARE(listed(u"there.db"_s, args), listed(m_month, args));
            QCOMPARE(listed(u"back.db"_s, args), listed(m_month, args));
        }
        const CliResult bill = on(u"back.db"_s, {u"bill"_s, u"--customer"_s, u"alice"_s,
                                                 u"--date"_s, u"2026-12-02"_s, u"--keep"_s});
        QVERIFY2(bill.code == 0, qPrintable(bill.err));
        QCOMPARE(bill.outLines().first().section(u'\t', 0, 0).toInt(), last + 1);
    }

    void fullDiskLeavesNoCopy() {
        const CliResult r = RunCliLimited(
            dir(), {u"--db"_s, m_month, u"copy"_s, u"--to"_s, u"full.db"_s}, 64 * 1024);
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(u"Unable to copy"_s), qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
        QVERIFY(QDir(dir()).entryList({u"full.db*"_s}).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCopyCli)
#include "tst_copycli.moc"
