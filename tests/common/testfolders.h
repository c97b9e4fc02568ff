#pragma once
#include <QString>
#include <QTemporaryDir>

// Points the settings, data and cache folders of the process at a fresh temporary folder, so
// a test never touches the real user's settings or files. Each instance gives a new, empty
// set of folders (new QSettings and QStandardPaths look-ups see them at once); the folders
// are removed when the instance is destroyed. Also names the application as the program does
// ("Corvane" / "Tollkeeper").
class CTestFolders {
public:
    CTestFolders();
    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }
    QString configHome() const { return m_dir.path() + QStringLiteral("/config"); }
    QString dataHome() const { return m_dir.path() + QStringLiteral("/data"); }
    QString filePath(const QString& name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
};

// The bytes of a file (empty when it cannot be read).
QByteArray FileBytes(const QString& path);
// Writes bytes to a file, replacing it; false on failure.
bool WriteFileBytes(const QString& path, const QByteArray& bytes);
