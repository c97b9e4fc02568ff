#include "common/freshprocess.h"

#include "core/app/operationlog.h"
#include "core/app/registrystore.h"
#include "core/app/schemaupgrade.h"

#include <QDir>
#include <QFile>

void CFreshProcess::resetProcessState() {
    theRegistry().close();
    theLog().reset();
    ResetUpgradeState();
}

CFreshProcess::CFreshProcess() {
    resetProcessState();
    const QString tmp = filePath(QStringLiteral("tmp"));
    m_tmpReady = QDir().mkpath(tmp);
    qputenv("TMPDIR", QFile::encodeName(tmp));
}

CFreshProcess::~CFreshProcess() {
    resetProcessState();
}
