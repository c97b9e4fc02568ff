#pragma once
// A list printed by a command in the form the user chose with --format: aligned columns for
// reading, CSV (RFC 4180) for spreadsheets, JSON for programs.
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

enum class CliTableFormat { Table, Csv, Json };

// The format named by --format ("table", "csv", "json"; a null text is the table); nullopt for
// any other text.
std::optional<CliTableFormat> ParseCliTableFormat(const QString& text);

class CCliTable {
public:
    enum class Kind {
        Text,   // left-aligned; a JSON string
        Number, // right-aligned; a JSON number when the text is one, null when empty
    };

    void addColumn(const QString& name, Kind kind = Kind::Text);
    // One row, a text per column (missing ones are empty).
    void addRow(const QStringList& cells);
    int rowCount() const { return int(m_rows.size()); }

    // The whole list in `format`, every line ended (CR LF in CSV, LF otherwise).
    QString render(CliTableFormat format) const;

private:
    QString table() const;
    QString csv() const;
    QString json() const;
    QString cell(qsizetype row, qsizetype column) const;

    QStringList m_names;
    QList<Kind> m_kinds;
    QList<QStringList> m_rows;
};
