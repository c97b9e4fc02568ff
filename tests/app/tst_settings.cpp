#include "common/testfolders.h"
#include "core/app/registrystore.h"
#include "core/app/settingsvalues.h"

#include <QFileInfo>
#include <QSettings>
#include <QtTest>
#include <memory>

class TestSettings : public QObject {
    Q_OBJECT

    std::unique_ptr<CTestFolders> m_folders;

    // A store as a later run of the program would open it.
    static std::unique_ptr<CRegistryStore> reopen() {
        auto s = std::make_unique<CRegistryStore>();
        if (!s->open())
            return nullptr;
        return s;
    }

private slots:
    void init() {
        theRegistry().close();
        m_folders = std::make_unique<CTestFolders>();
        QVERIFY(m_folders->isValid());
    }
    void cleanup() {
        theRegistry().close();
        m_folders.reset();
    }

    void firstOpenCreatesAndReportsFirstRun() {
        CRegistryStore store;
        QVERIFY(!store.isOpen());
        QVERIFY(store.open());
        QVERIFY(store.isOpen());
        QVERIFY(store.created());
        QVERIFY(store.open()); // already open: succeeds, still the same opening
        QVERIFY(store.created());
        store.close();
        QVERIFY(!store.isOpen());

        // The file lies in the isolated settings folder, under company and product.
        QVERIFY(QFileInfo::exists(m_folders->configHome() + "/Corvane/Tollkeeper.conf"));

        QVERIFY(store.open());
        QVERIFY(!store.created());
        auto later = reopen();
        QVERIFY(later);
        QVERIFY(!later->created());
    }

    void subkeyIsItsOwnStore() {
        QVERIFY(theRegistry().open());
        QVERIFY(theRegistry().writeText("header", "main store"));
        CRegistryStore pageSetup;
        QVERIFY(pageSetup.open("Internet Explorer", "Microsoft", "PageSetup"));
        QVERIFY(pageSetup.created());
        QCOMPARE(pageSetup.readText("header", "none"), QString("none"));
        QVERIFY(pageSetup.writeText("header", "&w&bPage &p of &P"));
        pageSetup.close();
        QVERIFY(pageSetup.open("Internet Explorer", "Microsoft", "PageSetup"));
        QVERIFY(!pageSetup.created());
        QCOMPARE(pageSetup.readText("header"), QString("&w&bPage &p of &P"));
        QCOMPARE(theRegistry().readText("header"), QString("main store"));

        // A new subkey of an existing product is still created on first open.
        CRegistryStore other;
        QVERIFY(other.open("Internet Explorer", "Microsoft", "Other"));
        QVERIFY(other.created());
    }

    void tableIsConsistent() {
        QVERIFY(theRegistry().open());
        int last = 0;
        QSet<QString> names;
        for (const Reg::ValueDef& v : Reg::Table()) {
            QVERIFY2(v.id > last, v.name); // sorted and unique: Find relies on it
            last = v.id;
            QVERIFY2(!names.contains(v.name), v.name);
            names.insert(v.name);
            QCOMPARE(Reg::Find(v.id), &v);
            // Every default reads back on a store that holds nothing.
            switch (v.type) {
            case Reg::Type::Text:
                QCOMPARE(RegText(v.id), RegDefaultText(v.id));
                break;
            case Reg::Type::Number:
                QCOMPARE(RegNumber(v.id), v.numberDefault);
                break;
            case Reg::Type::YesNo:
                QCOMPARE(RegYesNo(v.id), v.numberDefault != 0);
                break;
            case Reg::Type::Binary:
                QVERIFY(RegBinary(v.id).isEmpty());
                break;
            }
        }
        QVERIFY(!Reg::Find(1));
        QVERIFY(RegName(39).isEmpty());
        QCOMPARE(RegNumber(Reg::UserPaneHeight, 321), 321); // caller's computed default
    }

    void pathsLieInTheDataFolder() {
        QVERIFY(theRegistry().open());
        const QString data = m_folders->dataHome() + "/Corvane/Tollkeeper";
        QCOMPARE(RegText(Reg::DatabasePath), data + "/tollk.db");
        QCOMPARE(DefaultDatabasePath(), data + "/tollk.db");
        QCOMPARE(LogFilePath(), data + "/Tollk.log");
        QVERIFY(QFileInfo(data).isDir());
        QVERIFY(RegWriteText(Reg::LogFileName, "other.log"));
        QCOMPARE(LogFilePath(), data + "/other.log");
        QVERIFY(RegWriteText(Reg::LogFileName, "/var/tmp/abs.log"));
        QCOMPARE(LogFilePath(), QString("/var/tmp/abs.log"));
    }

    void wrongTypeReadsAsMissing() {
        {
            auto s = reopen();
            QVERIFY(s->writeText("TextNumber", "123"));
            QVERIFY(s->writeNumber("Number", 7));
            QVERIFY(s->writeBinary("Binary", QByteArray("\x01\x02", 2)));
            QVERIFY(s->writeText("Text", "abc"));
        }
        // Checked on the same instance and after a reload from the file.
        for (int pass = 0; pass < 2; ++pass) {
            auto s = reopen();
            qint32 n = -5;
            QVERIFY(!s->readNumber("TextNumber", n, 42));
            QCOMPARE(n, 42);
            QCOMPARE(s->number("TextNumber", 9), 9);
            QCOMPARE(s->readYesNo("TextNumber", false), false);
            QCOMPARE(s->readText("Number", "def"), QString("def"));
            QCOMPARE(s->readText("Binary", "def"), QString("def"));
            QCOMPARE(s->number("Binary", 3), 3);
            QVERIFY(s->readBinary("Text").isEmpty());
            QVERIFY(s->readBinary("Number").isEmpty());
            QVERIFY(!s->readNumber("Missing", n, 11));
            QCOMPARE(n, 11);
            QVERIFY(s->readNumber("Number", n, 0));
            QCOMPARE(n, 7);
        }
        // A value put into the file by other means, without the type mark, is not a number.
        {
            QSettings raw(QSettings::NativeFormat, QSettings::UserScope, "Corvane", "Tollkeeper");
            raw.setValue("Logging", 0);
            raw.sync();
        }
        QVERIFY(theRegistry().open());
        QCOMPARE(RegYesNo(Reg::Logging), true);
    }

    void valuesSurviveNewInstance_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("commas") << "a, b,c";
        QTest::newRow("quotes and backslash") << "C:\\data\\\"x\" 'y'";
        QTest::newRow("looks tagged") << "n:12";
        QTest::newRow("unicode") << QString::fromUtf8("Zürich € 漢字");
        QTest::newRow("line breaks") << "line 1\nline 2\r\n\ttab";
        QTest::newRow("empty") << "";
    }
    void valuesSurviveNewInstance() {
        QFETCH(QString, text);
        const QByteArray bytes = [] {
            QByteArray b;
            for (int i = 0; i < 256; ++i)
                b.append(char(i));
            return b;
        }();
        {
            auto s = reopen();
            QVERIFY(s->writeText("Key With Blanks", text));
            QCOMPARE(s->readText("Key With Blanks", "default"), text);
            QVERIFY(s->writeNumber("Min", std::numeric_limits<qint32>::min()));
            QVERIFY(s->writeNumber("Max", std::numeric_limits<qint32>::max()));
            QVERIFY(s->writeNumber("Neg", -1));
            QVERIFY(s->writeYesNo("Yes", true));
            QVERIFY(s->writeYesNo("No", false));
            QVERIFY(s->writeBinary("Bytes", bytes));
        }
        auto s = reopen();
        QCOMPARE(s->readText("Key With Blanks", "default"), text);
        QCOMPARE(s->readText("NotThere", "default"), QString("default"));
        QCOMPARE(s->number("Min", 0), std::numeric_limits<qint32>::min());
        QCOMPARE(s->number("Max", 0), std::numeric_limits<qint32>::max());
        QCOMPARE(s->number("Neg", 0), -1);
        QCOMPARE(s->readYesNo("Yes", false), true);
        QCOMPARE(s->readYesNo("No", true), false);
        QCOMPARE(s->number("Yes", 0), 1); // yes/no is a number
        QCOMPARE(s->readBinary("Bytes"), bytes);
    }

    void closedStoreGivesDefaultsAndRefusesWrites() {
        CRegistryStore s;
        QCOMPARE(s.readText("x", "d"), QString("d"));
        QCOMPARE(s.number("x", 4), 4);
        QVERIFY(!s.writeText("x", "y"));
        QVERIFY(!s.writeNumber("x", 1));
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
