#pragma once
#include "core/app/resultcodes.h"

#include <QString>
#include <exception>

// The result-code API of the operation log: every batch operation writes its outcomes through
// these, as a result code (core/app/resultcodes.h) with its text or a text of its own. The
// file, its format and the problem flag are COperationLog's (operationlog.h).

void LogResult(const QString& name, int code);
void LogResult(int code); // "Unknown customer"
void LogText(const QString& name, const QString& text, int code);
void LogException(const QString& name, const std::exception& e, int code);
// A record of money taken or data removed (payments, their undoing, deletion, purge): written
// as a success line whether or not "Logging" is on, so that the office can always trace it.
void LogRecord(const QString& name, const QString& text);
void WriteLogLine(const QString& line);
// problem: 1 / 0, or -1 to use the problem flag.
void ReportLogOutcome(bool offerView, int problem, bool sayIfNone);
