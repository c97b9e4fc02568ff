#include "core/jobs/samplemonth.h"

#include "core/app/batchui.h"
#include "core/db/database.h"
#include "core/import/importcodes.h"
#include "core/import/serverregister.h"
#include "core/import/textlogimport.h"
#include "core/sample/sampledata.h"
#include "core/sample/sampledetail.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

SampleMonthFiles PrepareSampleMonth(const QString& folder) {
    SampleMonthFiles files;
    const QDir dir(folder);
    if (!QDir().mkpath(dir.absolutePath())) {
        files.error = QStringLiteral("Unable to create the folder %1.")
                          .arg(QDir::toNativeSeparators(dir.absolutePath()));
        return files;
    }
    files.databasePath = dir.absoluteFilePath(QLatin1String(kSampleDatabaseFile));
    files.detailPath = dir.absoluteFilePath(QLatin1String(kSampleDetailFile));
    SampleDatabaseOptions options;
    options.replace = true;
    const SampleDatabaseResult created = CreateSampleDatabase(files.databasePath, options);
    if (!created.ok) {
        files.error = created.error;
        return files;
    }
    files.logoPath = created.logoPath;
    QString error;
    if (!WriteSampleDetailFile(files.detailPath, &error)) {
        files.error = QStringLiteral("Unable to write %1: %2")
                          .arg(QDir::toNativeSeparators(files.detailPath), error);
        return files;
    }
    files.ok = true;
    return files;
}

SampleDatabaseResult CreateSampleDatabaseWithSessions(const QString& path) {
    SampleDatabaseResult result = CreateSampleDatabase(path);
    if (!result.ok)
        return result;
    auto fail = [&](const QString& error) {
        QFile::remove(path);
        QFile::remove(result.logoPath);
        result.ok = false;
        result.error = error;
        return result;
    };
    QTemporaryDir scratch;
    if (!scratch.isValid())
        return fail(QStringLiteral("No temporary folder for the sample sessions: %1")
                        .arg(scratch.errorString()));
    const QString detail = scratch.filePath(QLatin1String(kSampleDetailFile));
    QString error;
    if (!WriteSampleDetailFile(detail, &error))
        return fail(error);

    CBatchUserInterface quiet;
    try {
        Database db;
        db.open(path);
        qint32 serverId = 0;
        if (ResolveServer(db, QLatin1String(kSampleServerName), &serverId) != IMPORT_OK)
            return fail(QStringLiteral("The server of the sample sessions could not be added."));
        const TextLogImportOutcome out =
            ImportTextLogInto(db, detail, AUTH_RADIUS, serverId, false);
        db.close();
        if (out.result != IMPORT_OK)
            return fail(out.error.isEmpty()
                            ? QStringLiteral("The sample sessions could not be imported.")
                            : out.error);
    } catch (const std::exception& e) {
        return fail(QString::fromUtf8(e.what()));
    }
    return result;
}
