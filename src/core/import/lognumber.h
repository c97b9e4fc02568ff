#pragma once
#include <QByteArrayView>
#include <QtGlobal>

// A number field as the C library reads it (leading white space, one sign, digits up to the
// first other character, none giving 0), limited to the 32-bit range.
qint32 LogNumber(QByteArrayView text);
// The same limited to the 64-bit range (byte counts).
qint64 LogNumber64(QByteArrayView text);
