#include "core/invoice/logoref.h"

#include <QFileInfo>
#include <QUrl>

QString LogoReference(const QString& imagePath) {
    if (imagePath.isEmpty())
        return {};
    const QString absolute = QFileInfo(imagePath).absoluteFilePath();
    return QString::fromLatin1(QUrl::toPercentEncoding(absolute, QByteArrayLiteral("/")));
}
