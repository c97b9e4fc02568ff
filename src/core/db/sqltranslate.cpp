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

} // namespace

QString Database::translateSql(const QString& sql) {
    QString out = translateDateLiterals(sql);
    static const QRegularExpression selectDistinctRow(
        QStringLiteral("\\bSELECT(\\s+)DISTINCTROW\\b"), QRegularExpression::CaseInsensitiveOption);
    {
        const QString m = masked(out);
        QString result;
        qsizetype last = 0;
        auto it = selectDistinctRow.globalMatch(m);
        while (it.hasNext()) {
            const auto match = it.next();
            result += out.mid(last, match.capturedStart() - last) + QStringLiteral("SELECT") +
                      match.captured(1) + QStringLiteral("DISTINCT");
            last = match.capturedEnd();
        }
        out = result + out.mid(last);
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
