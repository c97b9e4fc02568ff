#pragma once
#include <QByteArray>

// Header lines of an e-mail kept within the 998 characters RFC 5322 allows.

// The longest header line a message may hold, without its CR LF.
inline constexpr qsizetype kMaxHeaderLineLength = 998;

// A header line ("Name: value", no CR LF) as it stands when it fits; a longer one is folded
// before blanks into lines of about 78 characters joined by CR LF. Empty when it cannot be
// folded into lines of at most 998 characters (a run without blanks that is too long).
QByteArray FoldHeaderLine(const QByteArray& line);
// Text as RFC 2047 encoded words ("=?windows-1252?B?...?="), each at most 75 characters,
// separated by blanks, so that the header that carries it can be folded between them.
QByteArray EncodeHeaderWords(const QByteArray& text);
