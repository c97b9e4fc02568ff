#include "common/testfolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QSettings>

namespace {
QString tempTemplate() {
    QString base = qEnvironmentVariable("TK_TEST_TMP");
    if (base.isEmpty())
        base = QDir::tempPath();
    QDir().mkpath(base);
    return base + QStringLiteral("/tk-XXXXXX");
}
} // namespace

CTestFolders::CTestFolders() : m_dir(tempTemplate()) {
    QDir().mkpath(configHome());
    QDir().mkpath(dataHome());
    QDir().mkpath(m_dir.path() + QStringLiteral("/cache"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome()));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(m_dir.path() + QStringLiteral("/cache")));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, configHome());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, configHome());
    QCoreApplication::setOrganizationName(QStringLiteral("Corvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Tollkeeper"));
}
