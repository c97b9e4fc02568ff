#pragma once
#include <QString>

// Longest logon name stored for a customer.
inline constexpr int kMaxLogonNameLength = 20;

// A logon name longer than kMaxLogonNameLength is cut to its first kMaxLogonNameLength
// characters after the user was warned; a shorter one comes back unchanged.
QString ApplyLogonNameRule(const QString& name);
