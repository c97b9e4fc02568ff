#include "common/pdftext.h"

#include <QFile>
#include <QProcess>
#include <QStringList>

QString PdfText(const QString& pdf) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return QStringLiteral("<pdftotext failed: %1>")
            .arg(QString::fromLocal8Bit(p.readAllStandardError()));
    return QString::fromUtf8(p.readAllStandardOutput());
}

QSizeF PdfPageSize(const QString& pdf) {
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), {pdf});
    if (!p.waitForFinished(30000))
        return {};
    for (const QString& line : QString::fromUtf8(p.readAllStandardOutput()).split('\n')) {
        if (!line.startsWith(QLatin1String("Page size:")))
            continue;
        const QStringList w = line.mid(10).simplified().split(' ');
        if (w.size() >= 3)
            return QSizeF(w[0].toDouble(), w[2].toDouble());
    }
    return {};
}

QByteArray FileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
