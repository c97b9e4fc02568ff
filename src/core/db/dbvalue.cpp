// The declared types of the field kinds, and the stored form of the values bound to statements.
#include "core/db/currency.h"
#include "core/db/database.h"
#include "core/db/dbvalue.h"
#include "core/db/dbdatetime.h"
#include "core/db/dbexception.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QRegularExpression>

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

} // namespace

// The kind of a column from its declared type, without allocating (called for every value read).
FieldKind dbKindOfDeclared(const char* d) {
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

DbStoredValue dbStoredForm(const QVariant& value) {
    DbStoredValue v;
    const int id = value.metaType().id();
    const auto integer = [&v](qint64 i) {
        v.type = DbStoredValue::Integer;
        v.integer = i;
    };
    const auto real = [&v](double d) {
        v.type = DbStoredValue::Real;
        v.real = d;
    };
    if (!value.isValid())
        return v;
    if (id == qMetaTypeId<Currency>()) {
        const Currency c = value.value<Currency>();
        if (c.isValid())
            integer(c.units());
        return v;
    }
    if (id == qMetaTypeId<DbDateTime>()) {
        const DbDateTime d = value.value<DbDateTime>();
        if (d.isValid())
            real(d.days());
        return v;
    }
    switch (id) {
    case QMetaType::Bool:
        integer(value.toBool() ? 1 : 0);
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
        integer(value.toLongLong());
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        real(value.toDouble());
        break;
    case QMetaType::QByteArray:
        v.type = DbStoredValue::Blob;
        v.bytes = value.toByteArray();
        break;
    case QMetaType::QDate:
        real(double(kEpoch.daysTo(value.toDate())));
        break;
    case QMetaType::QDateTime:
        real(daysFromDateTime(value.toDateTime().toLocalTime()));
        break;
    default:
        if (id != QMetaType::QString && !value.canConvert<QString>())
            throw DbException(QStringLiteral("A value of type %1 cannot be stored.")
                                  .arg(QString::fromLatin1(value.typeName())));
        v.type = DbStoredValue::Text;
        v.bytes = value.toString().toUtf8();
        break;
    }
    return v;
}
