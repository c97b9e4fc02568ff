#include "cli/clitable.h"

#include <QRegularExpression>
#include <algorithm>

namespace {

QString csvField(const QString& text) {
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\r')) && !text.contains(QLatin1Char('\n')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString jsonString(const QString& text) {
    QString out = QStringLiteral("\"");
    for (const QChar ch : text) {
        switch (ch.unicode()) {
        case '"':
            out += QStringLiteral("\\\"");
            break;
        case '\\':
            out += QStringLiteral("\\\\");
            break;
        case '\n':
            out += QStringLiteral("\\n");
            break;
        case '\r':
            out += QStringLiteral("\\r");
            break;
        case '\t':
            out += QStringLiteral("\\t");
            break;
        default:
            if (ch.unicode() < 0x20)
                out += QStringLiteral("\\u%1").arg(ch.unicode(), 4, 16, QLatin1Char('0'));
            else
                out += ch;
        }
    }
    return out + QLatin1Char('"');
}

// Only what JSON itself calls a number goes out unquoted ("007" or "1." would not parse).
bool isJsonNumber(const QString& text) {
    static const QRegularExpression number(
        QStringLiteral("^-?(0|[1-9][0-9]*)(\\.[0-9]+)?([eE][-+]?[0-9]+)?$"));
    return number.match(text).hasMatch();
}

} // namespace

std::optional<CliTableFormat> ParseCliTableFormat(const QString& text) {
    if (text.isNull() || text == QLatin1String("table"))
        return CliTableFormat::Table;
    if (text == QLatin1String("csv"))
        return CliTableFormat::Csv;
    if (text == QLatin1String("json"))
        return CliTableFormat::Json;
    return std::nullopt;
}

void CCliTable::addColumn(const QString& name, Kind kind) {
    m_names << name;
    m_kinds << kind;
}

void CCliTable::addRow(const QStringList& cells) {
    m_rows << cells;
}

QString CCliTable::cell(qsizetype row, qsizetype column) const {
    return m_rows[row].value(column);
}

QString CCliTable::render(CliTableFormat format) const {
    switch (format) {
    case CliTableFormat::Table:
        return table();
    case CliTableFormat::Csv:
        return csv();
    case CliTableFormat::Json:
        return json();
    }
    return {};
}

QString CCliTable::table() const {
    QList<qsizetype> widths;
    for (qsizetype c = 0; c < m_names.size(); ++c) {
        qsizetype w = m_names[c].size();
        for (qsizetype r = 0; r < m_rows.size(); ++r)
            w = std::max(w, cell(r, c).size());
        widths << w;
    }
    auto line = [&](const QStringList& cells) {
        QString text;
        for (qsizetype c = 0; c < m_names.size(); ++c) {
            if (c > 0)
                text += QStringLiteral("  ");
            const QString value = cells.value(c);
            text += m_kinds[c] == Kind::Number ? value.rightJustified(widths[c])
                                               : value.leftJustified(widths[c]);
        }
        while (text.endsWith(QLatin1Char(' ')))
            text.chop(1);
        return text + QLatin1Char('\n');
    };
    QString text = line(m_names);
    for (const QStringList& row : m_rows)
        text += line(row);
    return text;
}

QString CCliTable::csv() const {
    auto line = [&](const QStringList& cells) {
        QStringList fields;
        for (qsizetype c = 0; c < m_names.size(); ++c)
            fields << csvField(cells.value(c));
        return fields.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    };
    QString text = line(m_names);
    for (const QStringList& row : m_rows)
        text += line(row);
    return text;
}

QString CCliTable::json() const {
    QStringList objects;
    for (qsizetype r = 0; r < m_rows.size(); ++r) {
        QStringList members;
        for (qsizetype c = 0; c < m_names.size(); ++c) {
            const QString value = cell(r, c);
            QString encoded;
            if (m_kinds[c] == Kind::Text)
                encoded = jsonString(value);
            else if (value.isEmpty())
                encoded = QStringLiteral("null");
            else
                encoded = isJsonNumber(value) ? value : jsonString(value);
            members << jsonString(m_names[c]) + QStringLiteral(": ") + encoded;
        }
        objects << QStringLiteral("  {") + members.join(QStringLiteral(", ")) + QLatin1Char('}');
    }
    if (objects.isEmpty())
        return QStringLiteral("[]\n");
    return QStringLiteral("[\n") + objects.join(QStringLiteral(",\n")) + QStringLiteral("\n]\n");
}
