#pragma once
#include <QString>
#include <QStringList>

// Mail addresses as they go into SMTP commands and header lines.

// Splits a recipient text at blanks, ";", ",", "<" and ">"; empty pieces are dropped.
QStringList SplitMailAddresses(const QString& text);
// True when the text holds a CR or an LF (which would end an SMTP command or a header line).
bool HoldsLineBreak(const QString& text);
// True for a mailbox "local@domain" that can stand in "MAIL FROM:<...>" or "RCPT TO:<...>"
// as it is: printable ASCII only, a dot-atom local part of at most 64 characters, a domain
// of dot-separated labels (letters, digits, "-") or an address literal in brackets, at most
// 254 characters in all. A NUL, control character, blank, "<" or ">" never passes.
bool IsValidMailbox(const QString& address);
// The first piece of a recipient text that is not a valid mailbox; empty when all are.
QString FirstInvalidMailbox(const QString& recipientText);
// The text for a message or the log, with every control character written as "\xHH".
QString PrintableText(const QString& text);
