#pragma once
#include <QDateTime>
#include <QString>
#include <optional>

// A local date and time given as YYYY-MM-DD or YYYY-MM-DDTHH:MM; nullopt when the text has
// neither form or names no real date.
std::optional<QDateTime> ParseCliDateTime(const QString& text);
