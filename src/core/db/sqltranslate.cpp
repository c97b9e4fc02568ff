// Translation of the Jet SQL forms the program uses into SQLite SQL.
#include "core/db/database.h"

#include <QDate>
#include <QRegularExpression>

namespace {

// A copy of sql of the same length in which the insides of quoted literals and bracketed
// names are blanked, so that keywords are only found in the statement's own text.
QString masked(const QString& sql) {
    QString m = sql;
    QChar close;
    for (qsizetype i = 0; i < m.size(); ++i) {
        const QChar c = sql.at(i);
        if (!close.isNull()) {
            if (c == close) {
                close = QChar();
                continue;
            }
            m[i] = QLatin1Char('_');
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            close = c;
        } else if (c == QLatin1Char('[')) {
            close = QLatin1Char(']');
        }
    }
    return m;
}

// Position of the first top-level (outside parentheses) match of re in m at or after from.
qsizetype findTopLevel(const QString& m, const QRegularExpression& re, qsizetype from,
                       qsizetype* length = nullptr) {
    auto it = re.globalMatch(m, from);
    while (it.hasNext()) {
        const auto match = it.next();
        int depth = 0;
        for (qsizetype i = 0; i < match.capturedStart(); ++i) {
            if (m.at(i) == QLatin1Char('('))
                ++depth;
            else if (m.at(i) == QLatin1Char(')'))
                --depth;
        }
        if (depth == 0) {
            if (length)
                *length = match.capturedLength();
            return match.capturedStart();
        }
    }
    return -1;
}

QStringList splitTopLevel(const QString& text, const QString& m, QChar sep) {
    QStringList parts;
    int depth = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i < m.size(); ++i) {
        const QChar c = m.at(i);
        if (c == QLatin1Char('('))
            ++depth;
        else if (c == QLatin1Char(')'))
            --depth;
        else if (c == sep && depth == 0) {
            parts << text.mid(start, i - start);
            start = i + 1;
        }
    }
    parts << text.mid(start);
    return parts;
}

QString bareName(QString name) {
    name = name.trimmed();
    if ((name.startsWith(QLatin1Char('[')) && name.endsWith(QLatin1Char(']'))) ||
        (name.startsWith(QLatin1Char('"')) && name.endsWith(QLatin1Char('"'))))
        name = name.mid(1, name.size() - 2);
    return name;
}

// "Table.Field", "[Table].[Field]" -> ("Table", "[Field]"); an unqualified name has no table.
QPair<QString, QString> splitQualified(const QString& lhs) {
    const QString t = lhs.trimmed();
    const QString m = masked(t);
    const qsizetype dot = m.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return {QString(), t};
    return {bareName(t.left(dot)), t.mid(dot + 1).trimmed()};
}

// "#m/d/yy h:mm:ss AM#" -> day number (days since 30 Dec 1899 plus the time of day).
QString dateLiteralValue(const QString& text) {
    static const QRegularExpression re(QStringLiteral(
        "^\\s*(\\d{1,2})/(\\d{1,2})/(\\d{2,4})(?:\\s+(\\d{1,2}):(\\d{1,2})(?::(\\d{1,2}))?"
        "\\s*([AaPp][Mm])?)?\\s*$"));
    const auto m = re.match(text);
    if (!m.hasMatch())
        return QString();
    int year = m.captured(3).toInt();
    if (m.captured(3).size() <= 2)
        year += year < 30 ? 2000 : 1900;
    const QDate date(year, m.captured(1).toInt(), m.captured(2).toInt());
    if (!date.isValid())
        return QString();
    int hour = m.captured(4).toInt();
    const int minute = m.captured(5).toInt();
    const int second = m.captured(6).toInt();
    const QString ampm = m.captured(7).toUpper();
    if (!ampm.isEmpty()) {
        if (hour < 1 || hour > 12)
            return QString();
        hour = hour % 12 + (ampm == QLatin1String("PM") ? 12 : 0);
    }
    if (hour > 23 || minute > 59 || second > 59)
        return QString();
    const double days = double(QDate(1899, 12, 30).daysTo(date)) +
                        double(hour * 3600 + minute * 60 + second) / 86400.0;
    return QString::number(days, 'g', 17);
}

QString translateDateLiterals(const QString& sql) {
    if (!sql.contains(QLatin1Char('#')))
        return sql;
    const QString m = masked(sql);
    QString out;
    qsizetype last = 0;
    qsizetype i = m.indexOf(QLatin1Char('#'));
    while (i >= 0) {
        const qsizetype end = m.indexOf(QLatin1Char('#'), i + 1);
        if (end < 0)
            break;
        const QString value = dateLiteralValue(sql.mid(i + 1, end - i - 1));
        if (value.isEmpty()) {
            i = m.indexOf(QLatin1Char('#'), i + 1);
            continue;
        }
        out += sql.mid(last, i - last) + value;
        last = end + 1;
        i = m.indexOf(QLatin1Char('#'), last);
    }
    return out + sql.mid(last);
}

QString translateDelete(const QString& sql) {
    const QString m = masked(sql);
    static const QRegularExpression head(QStringLiteral("^\\s*DELETE\\s+(?:DISTINCTROW\\s+)?"),
                                         QRegularExpression::CaseInsensitiveOption);
    const auto h = head.match(m);
    if (!h.hasMatch())
        return sql;
    static const QRegularExpression from(QStringLiteral("\\bFROM\\b"),
                                         QRegularExpression::CaseInsensitiveOption);
    qsizetype len = 0;
    const qsizetype at = findTopLevel(m, from, h.capturedEnd(), &len);
    if (at < 0)
        return sql;
    const QString target = sql.mid(h.capturedEnd(), at - h.capturedEnd()).trimmed();
    const QString rest = sql.mid(at + len).trimmed();
    if (target.isEmpty())
        return QStringLiteral("DELETE FROM ") + rest;
    // "DELETE T.* FROM <tables> WHERE ..." removes the rows of T that the join selects.
    QString table = target;
    if (table.endsWith(QLatin1String(".*")))
        table.chop(2);
    table = table.trimmed();
    return QStringLiteral("DELETE FROM %1 WHERE rowid IN (SELECT %1.rowid FROM %2)")
        .arg(table, rest);
}

QString translateUpdate(const QString& sql) {
    const QString m = masked(sql);
    static const QRegularExpression head(QStringLiteral("^\\s*UPDATE\\s+(?:DISTINCTROW\\s+)?"),
                                         QRegularExpression::CaseInsensitiveOption);
    const auto h = head.match(m);
    if (!h.hasMatch())
        return sql;
    static const QRegularExpression setRe(QStringLiteral("\\bSET\\b"),
                                          QRegularExpression::CaseInsensitiveOption);
    qsizetype setLen = 0;
    const qsizetype setAt = findTopLevel(m, setRe, h.capturedEnd(), &setLen);
    if (setAt < 0)
        return sql;
    const QString tables = sql.mid(h.capturedEnd(), setAt - h.capturedEnd()).trimmed();
    static const QRegularExpression whereRe(QStringLiteral("\\bWHERE\\b"),
                                            QRegularExpression::CaseInsensitiveOption);
    qsizetype whereLen = 0;
    const qsizetype whereAt = findTopLevel(m, whereRe, setAt + setLen, &whereLen);
    const qsizetype setEnd = whereAt < 0 ? sql.size() : whereAt;
    const QString setText = sql.mid(setAt + setLen, setEnd - setAt - setLen);
    const QString whereText = whereAt < 0 ? QString() : sql.mid(whereAt + whereLen).trimmed();

    // Assignments: the engine takes bare column names on the left.
    QString target;
    QStringList assigns;
    const QStringList parts = splitTopLevel(setText, masked(setText), QLatin1Char(','));
    for (const QString& part : parts) {
        const QString pm = masked(part);
        const qsizetype eq = pm.indexOf(QLatin1Char('='));
        if (eq < 0)
            return sql;
        const auto [qualifier, column] = splitQualified(part.left(eq));
        if (target.isEmpty())
            target = qualifier;
        assigns << column + QStringLiteral(" = ") + part.mid(eq + 1).trimmed();
    }

    const QString tm = masked(tables);
    static const QRegularExpression joinRe(
        QStringLiteral(
            "^(.+?)\\s+(?:INNER\\s+|LEFT\\s+(?:OUTER\\s+)?)?JOIN\\s+(.+?)\\s+ON\\s+(.+)$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const auto j = joinRe.match(tm);
    if (!j.hasMatch()) {
        QString out = QStringLiteral("UPDATE ") + tables + QStringLiteral(" SET ") +
                      assigns.join(QStringLiteral(", "));
        if (!whereText.isEmpty())
            out += QStringLiteral(" WHERE ") + whereText;
        return out;
    }
    // "UPDATE A INNER JOIN B ON c SET B.x = ... WHERE w" -> "UPDATE B SET x = ... FROM A WHERE (c)
    // AND (w)"
    const QString left = tables.mid(j.capturedStart(1), j.capturedLength(1)).trimmed();
    const QString right = tables.mid(j.capturedStart(2), j.capturedLength(2)).trimmed();
    const QString cond = tables.mid(j.capturedStart(3), j.capturedLength(3)).trimmed();
    QString updated = left;
    QString other = right;
    if (!target.isEmpty() && bareName(right).compare(target, Qt::CaseInsensitive) == 0) {
        updated = right;
        other = left;
    }
    QString out = QStringLiteral("UPDATE %1 SET %2 FROM %3 WHERE (%4)")
                      .arg(updated, assigns.join(QStringLiteral(", ")), other, cond);
    if (!whereText.isEmpty())
        out += QStringLiteral(" AND (") + whereText + QLatin1Char(')');
    return out;
}

// End of the query scope that starts at from: the parenthesis closing it, or the end of m.
qsizetype scopeEnd(const QString& m, qsizetype from) {
    int depth = 0;
    for (qsizetype i = from; i < m.size(); ++i) {
        if (m.at(i) == QLatin1Char('('))
            ++depth;
        else if (m.at(i) == QLatin1Char(')') && depth-- == 0)
            return i;
    }
    return m.size();
}

// One table of a FROM clause: the name its columns are qualified with (the alias when there is
// one) as written, and that name without brackets or quotes.
struct FromTable {
    QString written;
    QString bare;
};

const QString kName = QStringLiteral("(?:\\[[^\\]]*\\]|\"[^\"]*\"|\\w+)");

// The tables of a FROM clause; false when it holds something other than tables and joins
// (a subquery, say).
bool fromTables(const QString& text, const QString& m, QList<FromTable>* tables) {
    if (m.contains(QLatin1String("SELECT"), Qt::CaseInsensitive))
        return false;
    QString flat = m;
    flat.replace(QLatin1Char('('), QLatin1Char(' ')).replace(QLatin1Char(')'), QLatin1Char(' '));
    static const QRegularExpression ref(
        QStringLiteral("(?:^|,|\\bJOIN\\b)\\s*(%1)(?:\\s+(?:AS\\s+)?(%1))?").arg(kName),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression keyword(
        QStringLiteral("^(?:INNER|LEFT|RIGHT|OUTER|CROSS|JOIN|ON|WHERE|GROUP|ORDER|HAVING)$"),
        QRegularExpression::CaseInsensitiveOption);
    auto it = ref.globalMatch(flat);
    while (it.hasNext()) {
        const auto match = it.next();
        int group = 1;
        if (match.capturedLength(2) > 0 && !keyword.match(match.captured(2)).hasMatch())
            group = 2;
        const QString written = text.mid(match.capturedStart(group), match.capturedLength(group));
        tables->append({written, bareName(written)});
    }
    return !tables->isEmpty();
}

// Rewrites the SELECT DISTINCTROW at select (its keywords end at afterKeywords) in sql.
// DISTINCTROW drops rows that come from the same rows of the underlying tables, never rows that
// merely look alike: two equal invoices of one customer are two rows. Only the tables whose
// fields are selected count. With one table, or fields of every table, each output row is a
// distinct combination of underlying rows and nothing is dropped; otherwise the rows are grouped
// by the row ids of the selected tables. A form this cannot read (unqualified fields of a join,
// expressions, a subquery in FROM, a query grouped already) falls back to DISTINCT.
QString rewriteDistinctRow(const QString& sql, qsizetype select, qsizetype afterKeywords) {
    const QString m = masked(sql);
    const qsizetype end = scopeEnd(m, afterKeywords);
    const QString text = sql.mid(afterKeywords, end - afterKeywords);
    const QString tm = m.mid(afterKeywords, end - afterKeywords);
    const QString plain = sql.left(select) + QStringLiteral("SELECT ");
    const QString distinct = sql.left(select) + QStringLiteral("SELECT DISTINCT ");

    static const QRegularExpression fromRe(QStringLiteral("\\bFROM\\b"),
                                           QRegularExpression::CaseInsensitiveOption);
    qsizetype fromLen = 0;
    const qsizetype fromAt = findTopLevel(tm, fromRe, 0, &fromLen);
    if (fromAt < 0)
        return plain + text.trimmed() + sql.mid(end);
    static const QRegularExpression clauseEnd(
        QStringLiteral(
            "\\b(?:WHERE|GROUP\\s+BY|HAVING|ORDER\\s+BY|LIMIT|UNION|EXCEPT|INTERSECT)\\b"),
        QRegularExpression::CaseInsensitiveOption);
    qsizetype fromEnd = findTopLevel(tm, clauseEnd, fromAt + fromLen);
    if (fromEnd < 0)
        fromEnd = tm.size();
    QList<FromTable> tables;
    const qsizetype fromStart = fromAt + fromLen;
    const bool readable = fromTables(text.mid(fromStart, fromEnd - fromStart),
                                     tm.mid(fromStart, fromEnd - fromStart), &tables);
    const QString body = text.trimmed();
    if (readable && tables.size() == 1)
        return plain + body + sql.mid(end);
    if (!readable)
        return distinct + body + sql.mid(end);

    // The tables whose fields are selected: every item must be "Table.Field" or "Table.*".
    static const QRegularExpression item(
        QStringLiteral("^\\s*(%1)\\s*\\.\\s*(?:%1|\\*)(?:\\s+(?:AS\\s+)?%1)?\\s*$").arg(kName),
        QRegularExpression::CaseInsensitiveOption);
    QList<int> selected; // indexes into tables
    const QString list = text.left(fromAt);
    for (const QString& part : splitTopLevel(list, tm.left(fromAt), QLatin1Char(','))) {
        const auto match = item.match(masked(part));
        if (!match.hasMatch())
            return distinct + body + sql.mid(end);
        const QString qualifier =
            bareName(part.mid(match.capturedStart(1), match.capturedLength(1)));
        int found = -1;
        for (int i = 0; i < tables.size(); ++i)
            if (tables.at(i).bare.compare(qualifier, Qt::CaseInsensitive) == 0)
                found = i;
        if (found < 0)
            return distinct + body + sql.mid(end);
        if (!selected.contains(found))
            selected.append(found);
    }
    if (selected.size() == tables.size())
        return plain + body + sql.mid(end);
    static const QRegularExpression groupRe(QStringLiteral("\\bGROUP\\s+BY\\b"),
                                            QRegularExpression::CaseInsensitiveOption);
    if (findTopLevel(tm, groupRe, fromEnd) >= 0)
        return distinct + body + sql.mid(end);

    QStringList keys;
    for (const int i : selected)
        keys << tables.at(i).written + QStringLiteral(".rowid");
    static const QRegularExpression tailRe(
        QStringLiteral("\\b(?:HAVING|ORDER\\s+BY|LIMIT|UNION|EXCEPT|INTERSECT)\\b"),
        QRegularExpression::CaseInsensitiveOption);
    const qsizetype at = findTopLevel(tm, tailRe, fromEnd);
    QString head = text.left(at < 0 ? text.size() : at).trimmed();
    QString tail = at < 0 ? QString() : QStringLiteral(" ") + text.mid(at).trimmed();
    // A closing ";" of the statement stays last.
    if (tail.isEmpty() && head.endsWith(QLatin1Char(';'))) {
        head.chop(1);
        head = head.trimmed();
        tail = QStringLiteral(";");
    }
    return plain + head + QStringLiteral(" GROUP BY ") + keys.join(QStringLiteral(", ")) + tail +
           sql.mid(end);
}

} // namespace

QString Database::translateSql(const QString& sql) {
    QString out = translateDateLiterals(sql);
    static const QRegularExpression selectDistinctRow(
        QStringLiteral("\\bSELECT\\s+DISTINCTROW\\b\\s*"),
        QRegularExpression::CaseInsensitiveOption);
    // Each rewrite removes its DISTINCTROW, so the first one left is always the next to do.
    for (;;) {
        const auto match = selectDistinctRow.match(masked(out));
        if (!match.hasMatch())
            break;
        out = rewriteDistinctRow(out, match.capturedStart(), match.capturedEnd());
    }
    static const QRegularExpression leading(QStringLiteral("^\\s*(UPDATE|DELETE)\\b"),
                                            QRegularExpression::CaseInsensitiveOption);
    const auto lead = leading.match(out);
    if (lead.hasMatch()) {
        if (lead.captured(1).compare(QLatin1String("DELETE"), Qt::CaseInsensitive) == 0)
            out = translateDelete(out);
        else
            out = translateUpdate(out);
    }
    return out;
}
