#pragma once
#include <QString>
#include <exception>

// The operation log: one plain-text file of TAB-separated lines (date, name, severity,
// message) that every batch operation writes its outcomes to.

// Text of a billing / delivery result code (1..40); empty for codes without text.
QString ResultText(int code);
// "ERROR", "WARNING" or "SUCCESS" for a code.
QString ResultSeverity(int code);

void LogResult(const QString& name, int code);
void LogResult(int code); // "Unknown customer"
void LogText(const QString& name, const QString& text, int code);
void LogException(const QString& name, const std::exception& e, int code);
void WriteLogLine(const QString& line);
// problem: 1 / 0, or -1 to use the problem flag.
void ReportLogOutcome(bool offerView, int problem, bool sayIfNone);
