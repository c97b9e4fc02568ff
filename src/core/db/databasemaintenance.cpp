#include "core/db/database.h"
#include "core/db/dbexception.h"
#include "core/db/replacefile.h"
#include "core/db/sqlident.h"
#include "core/db/transaction.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

// Compacting a file into a copy and repairing a damaged one.

void Database::compact(const QString& src, const QString& dst) {
    if (QFileInfo::exists(dst))
        throw DbException(
            QStringLiteral("The file %1 already exists.").arg(QDir::toNativeSeparators(dst)));
    Database db;
    db.open(src, OpenMode::Exclusive, false);
    db.execute(QStringLiteral("VACUUM INTO ?"), {dst});
    db.close();
}

QStringList Database::repair(const QString& path, QString* keptOriginal) {
    {
        Database db;
        db.open(path, OpenMode::Exclusive, false);
        QStringList problems;
        try {
            Statement st = db.prepare(QStringLiteral("PRAGMA integrity_check"));
            while (st.next())
                problems << st.value(0).toString();
        } catch (const DbException& e) {
            problems << e.message();
        }
        if (problems == QStringList{QStringLiteral("ok")}) {
            db.execute(QStringLiteral("REINDEX"));
            return {};
        }
    }

    // Salvage: a fresh file with the same tables, filled with every row that can be read.
    const QString fresh = path + QStringLiteral(".repair");
    QFile::remove(fresh);
    QStringList lost;
    try {
        Database src;
        src.open(path, OpenMode::Exclusive, false);
        QList<QPair<QString, QString>> tables; // name, sql
        QStringList indexSql;
        {
            Statement st = src.prepare(QStringLiteral(
                "SELECT type, name, sql FROM sqlite_master WHERE sql IS NOT NULL "
                "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY type = 'index', rowid"));
            while (st.next()) {
                if (st.value(0).toString() == QLatin1String("table"))
                    tables.append({st.value(1).toString(), st.value(2).toString()});
                else if (st.value(0).toString() == QLatin1String("index"))
                    indexSql << st.value(2).toString();
            }
        }
        if (tables.isEmpty())
            throw DbException(QStringLiteral("No table of %1 could be read.")
                                  .arg(QDir::toNativeSeparators(path)));
        Database dst;
        dst.open(fresh, OpenMode::Exclusive, true);
        Transaction transaction(dst);
        int readable = 0;
        for (const auto& [name, sql] : tables) {
            dst.execute(sql);
            qint64 copied = 0;
            qint64 refused = 0;
            try {
                Statement rd =
                    src.prepare(QStringLiteral("SELECT * FROM %1").arg(quoteIdentifier(name)));
                const int n = rd.columnCount();
                QStringList marks;
                for (int i = 0; i < n; ++i)
                    marks << QStringLiteral("?");
                Statement wr =
                    dst.prepare(QStringLiteral("INSERT INTO %1 VALUES (%2)")
                                    .arg(quoteIdentifier(name), marks.join(QLatin1Char(','))));
                ++readable;
                while (rd.next()) {
                    for (int i = 0; i < n; ++i)
                        wr.bind(i + 1, rd.value(i));
                    try {
                        wr.exec();
                        ++copied;
                    } catch (const DbException& e) {
                        // A full disk is no damage of the original: nothing is replaced.
                        if ((e.code() & 0xff) == 13 /* SQLITE_FULL */ ||
                            (e.code() & 0xff) == 10 /* SQLITE_IOERR */)
                            throw;
                        ++refused;
                    }
                }
                if (refused > 0)
                    lost << QStringLiteral("%1: %2 rows not kept").arg(name).arg(refused);
            } catch (const DbException& e) {
                if ((e.code() & 0xff) == 13 || (e.code() & 0xff) == 10)
                    throw;
                lost << QStringLiteral("%1: reading stopped after %2 rows (%3)")
                            .arg(name)
                            .arg(copied)
                            .arg(e.message());
            }
        }
        if (readable == 0)
            throw DbException(QStringLiteral("No table of %1 could be read.")
                                  .arg(QDir::toNativeSeparators(path)));
        for (const QString& sql : indexSql) {
            try {
                dst.execute(sql);
            } catch (const DbException& e) {
                lost << QStringLiteral("index not rebuilt: %1").arg(e.message());
            }
        }
        try {
            Statement seq = src.prepare(QStringLiteral("SELECT name, seq FROM sqlite_sequence"));
            while (seq.next())
                dst.execute(
                    QStringLiteral("UPDATE sqlite_sequence SET seq = max(seq, ?) WHERE name = ?"),
                    {seq.value(1), seq.value(0)});
        } catch (const DbException&) {
            // no AutoNumber table, or the sequence could not be read: keys continue from the rows
        }
        transaction.commit();
        dst.close();
        src.close();
        QString error;
        if (!VerifyDatabaseCopy(fresh, &error))
            throw DbException(error);
    } catch (...) {
        QFile::remove(fresh);
        throw;
    }

    // The damaged original stays beside the result, under a name no later repair reuses.
    QString old = path + QStringLiteral(".damaged-") +
                  QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
    for (int n = 2; QFileInfo::exists(old); ++n)
        old = path + QStringLiteral(".damaged-") +
              QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")) +
              QStringLiteral("-%1").arg(n);
    if (std::rename(QFile::encodeName(path).constData(), QFile::encodeName(old).constData()) != 0) {
        QFile::remove(fresh);
        throw DbException(QStringLiteral("The repaired copy could not replace %1.")
                              .arg(QDir::toNativeSeparators(path)));
    }
    if (std::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(path).constData()) !=
        0) {
        (void)std::rename(QFile::encodeName(old).constData(), QFile::encodeName(path).constData());
        QFile::remove(fresh);
        throw DbException(QStringLiteral("The repaired copy could not replace %1.")
                              .arg(QDir::toNativeSeparators(path)));
    }
    if (keptOriginal)
        *keptOriginal = old;
    return lost;
}
