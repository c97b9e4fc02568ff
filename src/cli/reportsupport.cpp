#include "cli/reportsupport.h"

#include "core/db/datetimeutil.h"

#include <QRegularExpression>

std::optional<QDateTime> ParseCliDateTime(const QString& text) {
    static const QRegularExpression form(
        QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})(?:T(\\d{2}):(\\d{2}))?$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    const QTime time =
        m.captured(4).isEmpty() ? QTime(0, 0) : QTime(m.captured(4).toInt(), m.captured(5).toInt());
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    // The calendar's own rule for local times that do not exist or occur twice.
    return SecondsToDateTime(LocalToSeconds(date, time));
}
