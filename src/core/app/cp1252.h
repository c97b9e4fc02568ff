#pragma once
#include <QByteArray>
#include <QString>

// Windows-1252, the 8-bit character set of every text file, log line and e-mail the program
// writes. Characters outside the set are written as '?'. The five bytes the set leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the control characters of the same value,
// both ways, so any byte string decodes and encodes back unchanged.
QByteArray EncodeCp1252(QStringView text);
QString DecodeCp1252(QByteArrayView bytes);
// True when every character of the text has a Windows-1252 byte.
bool IsCp1252(QStringView text);
