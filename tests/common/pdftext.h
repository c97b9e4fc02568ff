#pragma once
#include <QByteArray>
#include <QSizeF>
#include <QString>

#include "common/testfolders.h" // FileBytes

// The text of a PDF as pdftotext -layout reads it ("<pdftotext failed...>" when it cannot).
QString PdfText(const QString& pdf);
// The size in points of a PDF's first page, as pdfinfo reports it (empty when it cannot).
QSizeF PdfPageSize(const QString& pdf);
