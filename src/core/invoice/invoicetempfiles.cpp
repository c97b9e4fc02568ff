#include "core/invoice/invoicetempfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>

QString CreateTkpTempFile(const QString& suffix, QString* error) {
    QTemporaryFile file(QDir::tempPath() + QStringLiteral("/TKPXXXXXX") + suffix);
    file.setAutoRemove(false);
    if (!file.open()) {
        if (error)
            *error = file.errorString();
        return {};
    }
    return file.fileName();
}

namespace {

bool writeFile(const QString& path, const QByteArray& bytes, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes) != bytes.size() || !file.flush()) {
        if (error)
            *error =
                QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    file.close();
    if (file.error() != QFileDevice::NoError) {
        if (error)
            *error =
                QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    return true;
}

} // namespace

CInvoiceTempFiles::~CInvoiceTempFiles() {
    Remove();
}

void CInvoiceTempFiles::Remove() {
    for (QString* path : {&m_htmlPath, &m_textPath}) {
        if (!path->isEmpty())
            QFile::remove(*path);
        path->clear();
    }
}

bool CInvoiceTempFiles::Write(const QByteArray& html, const QByteArray& text, QString* error) {
    Remove();
    const QString suffix = QStringLiteral(".HTM");
    m_htmlPath = CreateTkpTempFile(suffix, error);
    if (!m_htmlPath.isEmpty())
        m_textPath = CreateTkpTempFile(suffix, error);
    if (m_htmlPath.isEmpty() || m_textPath.isEmpty() || !writeFile(m_textPath, text, error) ||
        !writeFile(m_htmlPath, html, error)) {
        Remove();
        return false;
    }
    return true;
}
