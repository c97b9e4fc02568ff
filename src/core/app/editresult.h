#pragma once
#include <QString>

// Outcome of an edit (customer data, plans, charges): success, or the message to show with, for
// database failures, the engine's own words as detail (never lost, never shown as success).
struct EditResult {
    QString message; // empty on success
    QString detail;  // the engine's message of a database failure, else empty

    bool ok() const { return message.isEmpty(); }
    // The message and its detail on one line.
    QString text() const {
        return detail.isEmpty() ? message : QStringLiteral("%1 (%2)").arg(message, detail);
    }
    static EditResult failed(const QString& message, const QString& detail = {}) {
        return {message, detail};
    }
};
