// Conversion between SQLite storage and the Qt values of each declared field kind.
#include "core/db/currency.h"
#include "core/db/database.h"
#include "core/db/dbdatetime.h"
#include "core/db/dbexception.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QRegularExpression>
#include <sqlite3.h>

#include <cmath>

namespace {

const QDate kEpoch(1899, 12, 30);

double daysFromDateTime(const QDateTime& dt) {
    const QDate d = dt.date();
    const QTime t = dt.time();
    return double(kEpoch.daysTo(d)) + double(t.msecsSinceStartOfDay()) / 86400000.0;
}

bool startsWith(const char* text, const char* prefix) {
    return qstrnicmp(text, prefix, qstrlen(prefix)) == 0;
}

// The kind of a column from its declared type, without allocating (called for every value read).
FieldKind kindOfDeclared(const char* d) {
    while (*d == ' ')
        ++d;
    if (startsWith(d, "INTEGER"))
        return FieldKind::AutoNumber;
    if (startsWith(d, "LONGBINARY"))
        return FieldKind::LongBinary;
    if (startsWith(d, "LONG"))
        return FieldKind::Long;
    if (startsWith(d, "TEXT"))
        return FieldKind::Text;
    if (startsWith(d, "CURRENCY"))
        return FieldKind::Currency;
    if (startsWith(d, "DATETIME"))
        return FieldKind::DateTime;
    if (startsWith(d, "YESNO"))
        return FieldKind::YesNo;
    if (startsWith(d, "SHORT"))
        return FieldKind::Integer;
    if (startsWith(d, "SINGLE"))
        return FieldKind::Single;
    if (startsWith(d, "DOUBLE"))
        return FieldKind::Double;
    if (startsWith(d, "MEMO"))
        return FieldKind::Memo;
    return fieldKindFromDeclared(QString::fromLatin1(d), nullptr, nullptr);
}

} // namespace

FieldKind fieldKindFromDeclared(const QString& declared, int* size, bool* allowZeroLength) {
    const QString d = declared.trimmed().toUpper();
    int sz = 0;
    bool zl = d.contains(QLatin1String("ZEROLENGTH"));
    FieldKind kind = FieldKind::Long;
    if (d.startsWith(QLatin1String("INTEGER")) || d.contains(QLatin1String("AUTOINCREMENT")))
        kind = FieldKind::AutoNumber;
    else if (d.startsWith(QLatin1String("LONGBINARY")))
        kind = FieldKind::LongBinary;
    else if (d.startsWith(QLatin1String("LONG")))
        kind = FieldKind::Long;
    else if (d.startsWith(QLatin1String("SHORT")))
        kind = FieldKind::Integer;
    else if (d.startsWith(QLatin1String("SINGLE")))
        kind = FieldKind::Single;
    else if (d.startsWith(QLatin1String("DOUBLE")))
        kind = FieldKind::Double;
    else if (d.startsWith(QLatin1String("CURRENCY")))
        kind = FieldKind::Currency;
    else if (d.startsWith(QLatin1String("DATETIME")))
        kind = FieldKind::DateTime;
    else if (d.startsWith(QLatin1String("YESNO")))
        kind = FieldKind::YesNo;
    else if (d.startsWith(QLatin1String("MEMO")))
        kind = FieldKind::Memo;
    else if (d.startsWith(QLatin1String("TEXT"))) {
        kind = FieldKind::Text;
        static const QRegularExpression sizeRe(QStringLiteral("\\((\\d+)\\)"));
        const auto m = sizeRe.match(d);
        sz = m.hasMatch() ? m.captured(1).toInt() : 255;
    } else if (d.contains(QLatin1String("INT")))
        kind = FieldKind::Long;
    else if (d.contains(QLatin1String("CHAR")) || d.contains(QLatin1String("CLOB")) ||
             d.contains(QLatin1String("TEXT")))
        kind = FieldKind::Memo;
    else if (d.contains(QLatin1String("REAL")) || d.contains(QLatin1String("FLOA")) ||
             d.contains(QLatin1String("DOUB")))
        kind = FieldKind::Double;
    else if (d.contains(QLatin1String("BLOB")))
        kind = FieldKind::LongBinary;
    if (kind != FieldKind::Text && kind != FieldKind::Memo)
        zl = false;
    if (size)
        *size = sz;
    if (allowZeroLength)
        *allowZeroLength = zl;
    return kind;
}

QString declaredTypeFor(const FieldDef& f) {
    const QString zl = f.allowZeroLength ? QStringLiteral(" ZEROLENGTH") : QString();
    switch (f.kind) {
    case FieldKind::Long:
        return QStringLiteral("LONG");
    case FieldKind::AutoNumber:
        return QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT");
    case FieldKind::Integer:
        return QStringLiteral("SHORT");
    case FieldKind::Single:
        return QStringLiteral("SINGLE");
    case FieldKind::Double:
        return QStringLiteral("DOUBLE");
    case FieldKind::Currency:
        return QStringLiteral("CURRENCY");
    case FieldKind::DateTime:
        return QStringLiteral("DATETIME");
    case FieldKind::YesNo:
        return QStringLiteral("YESNO");
    case FieldKind::Text:
        return QStringLiteral("TEXT%1(%2)").arg(zl).arg(f.size > 0 ? f.size : 255);
    case FieldKind::Memo:
        return QStringLiteral("MEMO TEXT") + zl;
    case FieldKind::LongBinary:
        return QStringLiteral("LONGBINARY");
    }
    return QStringLiteral("LONG");
}

QVariant dbValueFromColumn(sqlite3_stmt* stmt, int column) {
    const int type = sqlite3_column_type(stmt, column);
    if (type == SQLITE_NULL)
        return QVariant();
    const char* decl = sqlite3_column_decltype(stmt, column);
    if (!decl) {
        switch (type) {
        case SQLITE_INTEGER:
            return QVariant(qint64(sqlite3_column_int64(stmt, column)));
        case SQLITE_FLOAT:
            return QVariant(sqlite3_column_double(stmt, column));
        case SQLITE_BLOB:
            return QVariant(QByteArray(static_cast<const char*>(sqlite3_column_blob(stmt, column)),
                                       sqlite3_column_bytes(stmt, column)));
        default:
            return QVariant(
                QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, column)),
                                  sqlite3_column_bytes(stmt, column)));
        }
    }
    switch (kindOfDeclared(decl)) {
    case FieldKind::Long:
    case FieldKind::AutoNumber:
        if (type == SQLITE_FLOAT)
            return QVariant(int(std::llround(sqlite3_column_double(stmt, column))));
        // The engine keeps 64 bits (byte counts use them); a value beyond 32 bits stays whole.
        if (const qint64 v = sqlite3_column_int64(stmt, column); v != qint64(int(v)))
            return QVariant(v);
        return QVariant(int(sqlite3_column_int64(stmt, column)));
    case FieldKind::Integer:
        if (type == SQLITE_FLOAT)
            return QVariant(int(qint16(std::llround(sqlite3_column_double(stmt, column)))));
        return QVariant(int(qint16(sqlite3_column_int64(stmt, column))));
    case FieldKind::Single:
        return QVariant(float(sqlite3_column_double(stmt, column)));
    case FieldKind::Double:
        return QVariant(sqlite3_column_double(stmt, column));
    case FieldKind::Currency:
        // Stored as ten-thousandths; a REAL comes from SQL arithmetic on those units.
        if (type == SQLITE_INTEGER)
            return QVariant::fromValue(Currency::fromUnits(sqlite3_column_int64(stmt, column)));
        return QVariant::fromValue(
            Currency::fromUnits(std::llround(sqlite3_column_double(stmt, column))));
    case FieldKind::DateTime:
        return QVariant::fromValue(DbDateTime(sqlite3_column_double(stmt, column)));
    case FieldKind::YesNo:
        return QVariant(sqlite3_column_double(stmt, column) != 0);
    case FieldKind::Text:
    case FieldKind::Memo:
        return QVariant(
            QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, column)),
                              sqlite3_column_bytes(stmt, column)));
    case FieldKind::LongBinary: {
        const void* p = sqlite3_column_blob(stmt, column);
        return QVariant(
            QByteArray(static_cast<const char*>(p), sqlite3_column_bytes(stmt, column)));
    }
    }
    return QVariant();
}

void dbBindValue(sqlite3_stmt* stmt, int index, const QVariant& value) {
    int rc = SQLITE_OK;
    const int id = value.metaType().id();
    if (!value.isValid()) {
        rc = sqlite3_bind_null(stmt, index);
    } else if (id == qMetaTypeId<Currency>()) {
        const Currency c = value.value<Currency>();
        rc = c.isValid() ? sqlite3_bind_int64(stmt, index, c.units())
                         : sqlite3_bind_null(stmt, index);
    } else if (id == qMetaTypeId<DbDateTime>()) {
        const DbDateTime d = value.value<DbDateTime>();
        rc = d.isValid() ? sqlite3_bind_double(stmt, index, d.days())
                         : sqlite3_bind_null(stmt, index);
    } else {
        switch (id) {
        case QMetaType::Bool:
            rc = sqlite3_bind_int(stmt, index, value.toBool() ? 1 : 0);
            break;
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Long:
        case QMetaType::ULong:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Char:
        case QMetaType::SChar:
        case QMetaType::UChar:
            rc = sqlite3_bind_int64(stmt, index, value.toLongLong());
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            rc = sqlite3_bind_double(stmt, index, value.toDouble());
            break;
        case QMetaType::QByteArray: {
            const QByteArray b = value.toByteArray();
            rc = b.isEmpty() ? sqlite3_bind_zeroblob(stmt, index, 0)
                             : sqlite3_bind_blob64(stmt, index, b.constData(),
                                                   sqlite3_uint64(b.size()), SQLITE_TRANSIENT);
            break;
        }
        case QMetaType::QDate:
            rc = sqlite3_bind_double(stmt, index, double(kEpoch.daysTo(value.toDate())));
            break;
        case QMetaType::QDateTime:
            rc = sqlite3_bind_double(stmt, index,
                                     daysFromDateTime(value.toDateTime().toLocalTime()));
            break;
        default: {
            if (id != QMetaType::QString && !value.canConvert<QString>())
                throw DbException(QStringLiteral("A value of type %1 cannot be stored.")
                                      .arg(QString::fromLatin1(value.typeName())));
            const QByteArray utf8 = value.toString().toUtf8();
            rc = sqlite3_bind_text64(stmt, index, utf8.constData(), sqlite3_uint64(utf8.size()),
                                     SQLITE_TRANSIENT, SQLITE_UTF8);
            break;
        }
        }
    }
    if (rc != SQLITE_OK)
        throw DbException(QString::fromUtf8(sqlite3_errstr(rc)), rc);
}
