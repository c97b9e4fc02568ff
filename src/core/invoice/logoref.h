#pragma once
#include <QString>

// The one text that names an invoice's logo image both in the page ("<IMG SRC=file://%s>")
// and in the e-mail, where "file://" becomes "cid:" and the image part's Content-ID is the
// same text in angle brackets. It is the file's absolute path with every character other
// than letters, digits, "-", ".", "_", "~" and "/" percent-encoded (UTF-8), so it holds no
// blank, quote or angle bracket, and "file://" + it is a valid file URL.
// An empty path gives an empty text.
QString LogoReference(const QString& imagePath);
