#pragma once
#include <QByteArray>

// Base64 (RFC 2045 alphabet, "=" padding) in lines of 76 characters, every line including
// the last ending in CR LF. Empty input gives empty output.
QByteArray EncodeBase64Lines(const QByteArray& data);
