// The program's SQL in PostgreSQL's words. The Jet forms are first brought to SQLite's
// (Database::translateSql, shared by both engines), then this pass rewrites what PostgreSQL
// spells differently. Names are folded to lower case: the program writes them in any case, as
// Jet and SQLite compare names without regard to case, and the tables are created folded.
#include "core/db/pgengine.h"

#include <QRegularExpression>

namespace {

bool isWordStart(QChar c) {
    return c.isLetter() || c == QLatin1Char('_');
}
bool isWordChar(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$');
}

// Skips white space from i; answers the first position that is not.
qsizetype skipSpace(const QString& s, qsizetype i) {
    while (i < s.size() && s.at(i).isSpace())
        ++i;
    return i;
}

// The word at i (empty when none).
QString wordAt(const QString& s, qsizetype i) {
    if (i >= s.size() || !isWordStart(s.at(i)))
        return {};
    qsizetype e = i;
    while (e < s.size() && isWordChar(s.at(e)))
        ++e;
    return s.mid(i, e - i);
}

// The parenthesis that closes the one at `open` (quotes and brackets skipped), or -1.
qsizetype closingParen(const QString& s, qsizetype open) {
    int depth = 0;
    QChar quote;
    for (qsizetype i = open; i < s.size(); ++i) {
        const QChar c = s.at(i);
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
        } else if (c == QLatin1Char('[')) {
            quote = QLatin1Char(']');
        } else if (c == QLatin1Char('(')) {
            ++depth;
        } else if (c == QLatin1Char(')') && --depth == 0) {
            return i;
        }
    }
    return -1;
}

QStringList splitItems(const QString& text);

// True when the parenthesised group opening at `open` holds a comma outside nested parentheses
// and quotes: max(a, b) is SQLite's two-value maximum, max(a) the aggregate.
bool hasTopLevelComma(const QString& s, qsizetype open) {
    const qsizetype close = closingParen(s, open);
    return close > open && splitItems(s.mid(open + 1, close - open - 1)).size() > 1;
}

QString quotedFolded(const QString& name) {
    return PgEngine::quoteName(name);
}

// True when a "+" written now would be a sign, not an addition.
bool isUnaryPlace(const QString& out, const QString& lastWord) {
    static const QStringList keywords{
        QStringLiteral("AND"),  QStringLiteral("OR"),   QStringLiteral("WHERE"),
        QStringLiteral("NOT"),  QStringLiteral("ON"),   QStringLiteral("SELECT"),
        QStringLiteral("WHEN"), QStringLiteral("THEN"), QStringLiteral("ELSE"),
        QStringLiteral("BY"),   QStringLiteral("BETWEEN")};
    if (keywords.contains(lastWord))
        return true;
    for (qsizetype i = out.size() - 1; i >= 0; --i) {
        const QChar c = out.at(i);
        if (c.isSpace())
            continue;
        return QStringLiteral("(,=<>").contains(c);
    }
    return true;
}

// Splits a clause's text at the commas outside parentheses and quotes.
QStringList splitItems(const QString& text) {
    QStringList items;
    int depth = 0;
    QChar quote;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
        } else if (c == QLatin1Char('(')) {
            ++depth;
        } else if (c == QLatin1Char(')')) {
            --depth;
        } else if (c == QLatin1Char(',') && depth == 0) {
            items << text.mid(start, i - start);
            start = i + 1;
        }
    }
    items << text.mid(start);
    return items;
}

// Where the clause starting at `from` ends: a closing parenthesis of an enclosing group, a
// following clause keyword at its own level, or the end.
qsizetype clauseEnd(const QString& sql, qsizetype from, const QRegularExpression& nextClause) {
    int depth = 0;
    QChar quote;
    for (qsizetype i = from; i < sql.size(); ++i) {
        const QChar c = sql.at(i);
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == QLatin1Char('\'') || c == QLatin1Char('"'))
            quote = c;
        else if (c == QLatin1Char('('))
            ++depth;
        else if (c == QLatin1Char(')')) {
            if (--depth < 0)
                return i;
        } else if (depth == 0 && (i == 0 || !sql.at(i - 1).isLetterOrNumber()) &&
                   nextClause.match(sql, i, QRegularExpression::NormalMatch,
                                    QRegularExpression::AnchorAtOffsetMatchOption)
                       .hasMatch())
            return i;
    }
    return sql.size();
}

// Orders as SQLite does: Null before every value ascending, after every value descending. Where
// rows are grouped by row keys (a DISTINCTROW of one side of a join), a column of another table
// orders by its least value in the group, as PostgreSQL wants every ordering term grouped.
void orderLikeSqlite(QString& sql) {
    static const QRegularExpression orderBy(QStringLiteral("\\bORDER\\s+BY\\b"),
                                            QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression groupBy(QStringLiteral("\\bGROUP\\s+BY\\b(.*)$"),
                                            QRegularExpression::CaseInsensitiveOption |
                                                QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression next(QStringLiteral("(LIMIT|OFFSET|UNION|EXCEPT|INTERSECT)\\b"),
                                         QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression direction(QStringLiteral("\\s+(ASC|DESC)\\s*$"),
                                              QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression column(QStringLiteral("^\\s*(\"[^\"]*\"|\\w+)\\s*\\.\\s*(\"[^\"]*\"|\\w+)\\s*$"));
    qsizetype at = 0;
    for (;;) {
        const auto m = orderBy.match(sql, at);
        if (!m.hasMatch())
            return;
        const qsizetype start = m.capturedEnd();
        const qsizetype end = clauseEnd(sql, start, next);
        // The tables whose row keys group the rows, when the ORDER BY follows such a GROUP BY.
        QStringList grouped;
        const QString before = sql.left(m.capturedStart());
        if (const auto g = groupBy.match(before); g.hasMatch())
            for (const QString& item : splitItems(g.captured(1))) {
                const auto c = column.match(item);
                if (!c.hasMatch())
                    continue;
                grouped << c.captured(1).remove(QLatin1Char('"')).toLower();
            }
        QStringList items;
        for (QString item : splitItems(sql.mid(start, end - start))) {
            item = item.trimmed();
            if (item.contains(QLatin1String("NULLS"), Qt::CaseInsensitive)) {
                items << item;
                continue;
            }
            QString dir;
            if (const auto d = direction.match(item); d.hasMatch()) {
                dir = d.captured(1).toUpper();
                item.truncate(d.capturedStart());
            }
            if (!grouped.isEmpty()) {
                const auto c = column.match(item);
                if (c.hasMatch() && !grouped.contains(c.captured(1).remove(QLatin1Char('"')).toLower()))
                    item = QStringLiteral("min(%1)").arg(item);
            }
            items << item + (dir == QLatin1String("DESC") ? QStringLiteral(" DESC NULLS LAST")
                                                          : QStringLiteral(" NULLS FIRST"));
        }
        const QString clause = QLatin1Char(' ') + items.join(QStringLiteral(", ")) +
                               (end < sql.size() && sql.at(end) != QLatin1Char(')')
                                    ? QStringLiteral(" ")
                                    : QString());
        sql.replace(start, end - start, clause);
        at = start + clause.size();
    }
}

// PostgreSQL 15 wants a name for every subquery in FROM; SQLite and Jet do not.
void nameSubqueries(QString& sql) {
    static const QRegularExpression from(QStringLiteral("\\b(FROM|JOIN)\\s*\\("),
                                         QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression following(
        QStringLiteral("^\\s*($|\\)|,|;|(WHERE|GROUP|ORDER|HAVING|LIMIT|UNION|EXCEPT|INTERSECT|"
                       "INNER|LEFT|RIGHT|FULL|CROSS|JOIN|ON)\\b)"),
        QRegularExpression::CaseInsensitiveOption);
    int n = 0;
    qsizetype at = 0;
    for (;;) {
        const auto m = from.match(sql, at);
        if (!m.hasMatch())
            return;
        // The parenthesis that closes the subquery.
        const qsizetype close = closingParen(sql, m.capturedEnd() - 1);
        if (close < 0)
            return;
        if (following.match(sql.mid(close + 1)).hasMatch())
            sql.insert(close + 1, QStringLiteral(" AS tk_subquery%1").arg(++n));
        at = m.capturedEnd();
    }
}

} // namespace

QString PgEngine::quoteName(const QString& name) {
    QString n = name.toLower();
    n.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + n + QLatin1Char('"');
}

FieldKind PgEngine::columnKindIn(const QString& table, const QString& column) {
    // Unknown (no table, no such column): Long, a kind with a sign.
    if (table.isEmpty() || column.isEmpty())
        return FieldKind::Long;
    try {
        if (!tableExists(table))
            return FieldKind::Long;
        for (const FieldDef& f : m_db.fields(table))
            if (f.name.compare(column, Qt::CaseInsensitive) == 0)
                return f.kind;
    } catch (const std::exception&) {
    }
    return FieldKind::Long;
}

PgEngine::Translation PgEngine::translate(const QString& jetSql) {
    const QString s = Database::translateSql(jetSql);
    Translation t;
    QString out;
    out.reserve(s.size() + 16);
    QString lastWord;       // upper case, the last keyword or name written
    QString lastIdentifier; // folded, the last name written (qualifier of ".rowid")
    QString currentTable;   // folded, the table last named after FROM, UPDATE, INTO or JOIN
    bool onConflictNothing = false;
    const auto noteName = [&](const QString& spelling) {
        if (lastWord == QLatin1String("AS"))
            t.aliases.insert(spelling.toLower().toUtf8(), spelling);
        if (lastWord == QLatin1String("FROM") || lastWord == QLatin1String("UPDATE") ||
            lastWord == QLatin1String("INTO") || lastWord == QLatin1String("JOIN"))
            currentTable = spelling.toLower();
        lastIdentifier = spelling.toLower();
        lastWord = spelling.toUpper();
    };

    for (qsizetype i = 0; i < s.size();) {
        const QChar c = s.at(i);
        if (c == QLatin1Char('\'')) {
            // A literal, copied as it stands ('' is a quote inside it).
            qsizetype e = i + 1;
            for (; e < s.size(); ++e) {
                if (s.at(e) == QLatin1Char('\'')) {
                    if (e + 1 < s.size() && s.at(e + 1) == QLatin1Char('\'')) {
                        ++e;
                        continue;
                    }
                    break;
                }
            }
            out += s.mid(i, e + 1 - i);
            i = e + 1;
            lastWord.clear();
            continue;
        }
        if (c == QLatin1Char('"') || c == QLatin1Char('[')) {
            const QChar close = c == QLatin1Char('"') ? QLatin1Char('"') : QLatin1Char(']');
            QString name;
            qsizetype e = i + 1;
            for (; e < s.size(); ++e) {
                if (s.at(e) == close) {
                    if (close == QLatin1Char('"') && e + 1 < s.size() &&
                        s.at(e + 1) == QLatin1Char('"')) {
                        name += QLatin1Char('"');
                        ++e;
                        continue;
                    }
                    break;
                }
                name += s.at(e);
            }
            out += quotedFolded(name);
            noteName(name);
            i = e + 1;
            continue;
        }
        if (c == QLatin1Char('?')) {
            out += QLatin1Char('$') + QString::number(++t.parameters);
            ++i;
            lastWord.clear();
            continue;
        }
        if (c.isDigit()) {
            qsizetype e = i;
            while (e < s.size() && (s.at(e).isLetterOrNumber() || s.at(e) == QLatin1Char('.') ||
                                    ((s.at(e) == QLatin1Char('-') || s.at(e) == QLatin1Char('+')) &&
                                     (s.at(e - 1) == QLatin1Char('e') ||
                                      s.at(e - 1) == QLatin1Char('E')))))
                ++e;
            out += s.mid(i, e - i);
            i = e;
            lastWord.clear();
            continue;
        }
        if (c == QLatin1Char('+') && isUnaryPlace(out, lastWord)) {
            // SQLite's "+column" keeps the planner off that column's index. A number keeps its
            // sign here; text has no sign, so a text column becomes an expression no index
            // serves, still compared without regard to case.
            const qsizetype at = skipSpace(s, i + 1);
            QString name = wordAt(s, at);
            qsizetype nameEnd = at + name.size();
            if (name.isEmpty() && at < s.size() &&
                (s.at(at) == QLatin1Char('"') || s.at(at) == QLatin1Char('['))) {
                const QChar close = s.at(at) == QLatin1Char('"') ? QLatin1Char('"') : QLatin1Char(']');
                const qsizetype e = s.indexOf(close, at + 1);
                if (e > at) {
                    name = s.mid(at + 1, e - at - 1);
                    nameEnd = e + 1;
                }
            }
            const FieldKind kind = columnKindIn(currentTable, name);
            if (!name.isEmpty() && (kind == FieldKind::Text || kind == FieldKind::Memo) &&
                (nameEnd >= s.size() || s.at(nameEnd) != QLatin1Char('.'))) {
                out += QStringLiteral("(%1 || '')::citext").arg(quotedFolded(name));
                lastWord.clear();
                i = nameEnd;
                continue;
            }
            if (kind == FieldKind::LongBinary || name.isEmpty()) {
                ++i; // no sign for this: the term as it is
                continue;
            }
        }
        if (!isWordStart(c)) {
            if (c == QLatin1Char(';') && s.mid(i + 1).trimmed().isEmpty())
                break; // a closing ";"
            out += c;
            ++i;
            if (!c.isSpace() && c != QLatin1Char('.'))
                lastWord.clear();
            continue;
        }

        const QString w = wordAt(s, i);
        const QString u = w.toUpper();
        qsizetype next = i + w.size();
        const bool afterDot = !out.isEmpty() && out.back() == QLatin1Char('.');
        QString emitted;
        if (afterDot && u == QLatin1String("ROWID")) {
            // A table's row id: its AutoNumber key, else the physical row.
            loadKeys();
            const QString key = m_keys.value(lastIdentifier);
            emitted = key.isEmpty() ? QStringLiteral("ctid") : quotedFolded(key);
        } else if (afterDot) {
            emitted = w;
            noteName(w);
            out += emitted;
            i = next;
            continue;
        } else if (u == QLatin1String("ROWID")) {
            loadKeys();
            const QString key = m_keys.value(currentTable);
            emitted = key.isEmpty() ? QStringLiteral("ctid") : quotedFolded(key);
        } else if (u == QLatin1String("WITHOUT") &&
                   wordAt(s, skipSpace(s, next)).toUpper() == QLatin1String("ROWID")) {
            // A table without SQLite's row id: every table here is one.
            i = skipSpace(s, next) + 5;
            continue;
        } else if (u == QLatin1String("TEMP") && next < s.size() && s.at(next) == QLatin1Char('.')) {
            emitted = QStringLiteral("pg_temp");
        } else if (u == QLatin1String("TRUE")) {
            emitted = QStringLiteral("1");
        } else if (u == QLatin1String("FALSE")) {
            emitted = QStringLiteral("0");
        } else if (u == QLatin1String("LIKE")) {
            // SQLite's LIKE ignores case; so does ILIKE, on every kind of text.
            emitted = QStringLiteral("ILIKE");
        } else if (u == QLatin1String("IFNULL")) {
            emitted = QStringLiteral("COALESCE");
        } else if (u == QLatin1String("INSTR")) {
            emitted = QStringLiteral("strpos");
        } else if ((u == QLatin1String("MAX") || u == QLatin1String("MIN")) &&
                   skipSpace(s, next) < s.size() && s.at(skipSpace(s, next)) == QLatin1Char('(') &&
                   hasTopLevelComma(s, skipSpace(s, next))) {
            emitted = u == QLatin1String("MAX") ? QStringLiteral("GREATEST") : QStringLiteral("LEAST");
        } else if (u == QLatin1String("REAL") && lastWord == QLatin1String("AS")) {
            emitted = QStringLiteral("double precision");
        } else if (u == QLatin1String("COLLATE") &&
                   wordAt(s, skipSpace(s, next)).toUpper() == QLatin1String("NOCASE")) {
            // Text compares without regard to case by its kind (citext) already.
            i = skipSpace(s, next) + 6;
            continue;
        } else if (u == QLatin1String("INSERT") &&
                   wordAt(s, skipSpace(s, next)).toUpper() == QLatin1String("OR")) {
            const qsizetype orAt = skipSpace(s, next);
            const qsizetype what = skipSpace(s, orAt + 2);
            if (wordAt(s, what).toUpper() == QLatin1String("IGNORE")) {
                onConflictNothing = true;
                next = what + 6;
            }
            emitted = QStringLiteral("INSERT");
        } else {
            emitted = w;
            noteName(w);
            out += emitted;
            i = next;
            continue;
        }
        out += emitted;
        lastWord = u;
        i = next;
    }
    if (onConflictNothing)
        out += QStringLiteral(" ON CONFLICT DO NOTHING");
    nameSubqueries(out);
    orderLikeSqlite(out);
    // An INSERT into a table with an AutoNumber answers the numbers it gave (lastInsertId).
    static const QRegularExpression insertInto(
        QStringLiteral("^\\s*INSERT\\s+INTO\\s+(\"(?:[^\"]|\"\")*\"|\\w+)"),
        QRegularExpression::CaseInsensitiveOption);
    if (const auto m = insertInto.match(out); m.hasMatch()) {
        QString table = m.captured(1);
        if (table.startsWith(QLatin1Char('"')))
            table = table.mid(1, table.size() - 2).replace(QLatin1String("\"\""), QLatin1String("\""));
        loadKeys();
        const QString key = m_keys.value(table.toLower());
        if (!key.isEmpty() && !out.contains(QLatin1String("RETURNING"), Qt::CaseInsensitive)) {
            out += QStringLiteral(" RETURNING ") + quotedFolded(key);
            t.returnsKey = true;
        }
    }
    t.text = out.toUtf8();
    return t;
}
