// Replays the saved corpus of the accounting-log fuzz target (fuzz/corpus/logrecord): every
// input must be parsed without a crash and every accepted row must be in range.
#include "fuzz/logrecordfuzz.h"

#include <QDir>
#include <QtTest>

class TestImportFuzzCorpus : public QObject {
    Q_OBJECT
private slots:
    void replay_data();
    void replay();
};

void TestImportFuzzCorpus::replay_data() {
    QTest::addColumn<QString>("path");
    const QDir dir(QStringLiteral(TK_SOURCE_DIR "/fuzz/corpus/logrecord"));
    const QStringList files = dir.entryList(QDir::Files, QDir::Name);
    QVERIFY2(files.size() >= 8, qPrintable(dir.path()));
    for (const QString& f : files)
        QTest::newRow(qPrintable(f)) << dir.filePath(f);
}

void TestImportFuzzCorpus::replay() {
    QFETCH(QString, path);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    QVERIFY(
        FuzzLogRecords(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())));
}

QTEST_GUILESS_MAIN(TestImportFuzzCorpus)
#include "tst_importfuzzcorpus.moc"
