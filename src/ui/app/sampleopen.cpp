#include "ui/app/sampleopen.h"

#include "core/app/dbsession.h"
#include "core/app/userinterface.h"
#include "core/jobs/samplemonth.h"

#include <QDir>
#include <QFileInfo>

int OpenSampleDatabase(CDatabaseSession& session) {
    const QString path = CDatabaseSession::sampleDatabasePath();
    if (!QFileInfo::exists(path)) {
        SampleDatabaseResult created;
        {
            CWaitCursor wait;
            ui().setStatusText(QStringLiteral("Creating the sample database..."));
            if (QDir().mkpath(QFileInfo(path).absolutePath()))
                created = CreateSampleDatabaseWithSessions(path);
            else
                created.error = QStringLiteral("The folder %1 cannot be created.")
                                    .arg(QDir::toNativeSeparators(QFileInfo(path).absolutePath()));
            ui().setStatusText(QString());
        }
        if (!created.ok) {
            ui().showMessage(QStringLiteral("Unable to create the sample database %1: %2")
                                 .arg(QDir::toNativeSeparators(path), created.error),
                             MessageIcon::Exclamation);
            return SystemResult::Failed;
        }
    }
    return session.openSampleDatabase();
}
