#include "common/pdftext.h"

#include <QFile>
#include <QProcess>
#include <QStringList>

using namespace Qt::StringLiterals;

QString PdfText(const QString& pdf) {
    QProcess p;
    p.start(u"pdftotext"_s, {u"-layout"_s, pdf, u"-"_s});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return u"<pdftotext failed: %1>"_s.arg(QString::fromLocal8Bit(p.readAllStandardError()));
    return QString::fromUtf8(p.readAllStandardOutput());
}

QSizeF PdfPageSize(const QString& pdf) {
    QProcess p;
    p.start(u"pdfinfo"_s, {pdf});
    if (!p.waitForFinished(30000))
        return {};
    for (const QString& line : QString::fromUtf8(p.readAllStandardOutput()).split('\n')) {
        if (!line.startsWith(u"Page size:"_s))
            continue;
        const QStringList w = line.mid(10).simplified().split(' ');
        if (w.size() >= 3)
            return QSizeF(w[0].toDouble(), w[2].toDouble());
    }
    return {};
}
