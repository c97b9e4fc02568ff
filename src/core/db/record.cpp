#include "core/db/record.h"
#include "core/db/dbexception.h"

#include <QtGlobal>

namespace {

QString fieldName(const char* field) {
    return QString::fromLatin1(field);
}

// Loads the field when the recordset has it; a missing column or a Null gives the empty value.
template <typename T, typename Convert>
void transfer(Recordset& rs, FieldBinder::Dir dir, const char* field, T& member, const T& empty,
              Convert convert) {
    const int column = rs.findColumn(fieldName(field));
    if (column < 0) {
        if (dir == FieldBinder::Dir::Load)
            member = empty;
        return;
    }
    if (dir == FieldBinder::Dir::Load) {
        const QVariant v = rs.valueAt(column);
        member = v.isValid() ? convert(v) : empty;
    } else {
        rs.setValueAt(column, QVariant::fromValue(member));
    }
}

} // namespace

void FieldBinder::operator()(const char* field, qint32& v) {
    transfer(m_rs, m_dir, field, v, qint32(0),
             [](const QVariant& x) { return qint32(x.toLongLong()); });
}

void FieldBinder::operator()(const char* field, qint64& v) {
    transfer(m_rs, m_dir, field, v, qint64(0), [](const QVariant& x) { return x.toLongLong(); });
}

void FieldBinder::operator()(const char* field, qint16& v) {
    const int column = m_rs.findColumn(fieldName(field));
    if (column < 0) {
        if (m_dir == Dir::Load)
            v = 0;
        return;
    }
    if (m_dir == Dir::Load) {
        const QVariant x = m_rs.valueAt(column);
        v = x.isValid() ? qint16(x.toInt()) : qint16(0);
    } else {
        m_rs.setValueAt(column, QVariant(int(v)));
    }
}

void FieldBinder::operator()(const char* field, float& v) {
    transfer(m_rs, m_dir, field, v, 0.0f, [](const QVariant& x) { return x.toFloat(); });
}

void FieldBinder::operator()(const char* field, double& v) {
    transfer(m_rs, m_dir, field, v, 0.0, [](const QVariant& x) { return x.toDouble(); });
}

void FieldBinder::operator()(const char* field, Currency& v) {
    transfer(m_rs, m_dir, field, v, Currency::null(), [](const QVariant& x) {
        if (x.metaType().id() == qMetaTypeId<Currency>())
            return x.value<Currency>();
        return Currency::fromDouble(x.toDouble());
    });
}

void FieldBinder::operator()(const char* field, DbDateTime& v) {
    transfer(m_rs, m_dir, field, v, DbDateTime::null(), [](const QVariant& x) {
        if (x.metaType().id() == qMetaTypeId<DbDateTime>())
            return x.value<DbDateTime>();
        return DbDateTime(x.toDouble());
    });
}

void FieldBinder::operator()(const char* field, bool& v) {
    transfer(m_rs, m_dir, field, v, false, [](const QVariant& x) { return x.toBool(); });
}

void FieldBinder::operator()(const char* field, QString& v) {
    transfer(m_rs, m_dir, field, v, QString(), [](const QVariant& x) { return x.toString(); });
}

void FieldBinder::operator()(const char* field, QByteArray& v) {
    transfer(m_rs, m_dir, field, v, QByteArray(),
             [](const QVariant& x) { return x.toByteArray(); });
}

CRecord::CRecord(Database& db, QString defaultTable)
    : Recordset(db), m_defaultTable(std::move(defaultTable)) {}

void CRecord::rowChanged() {
    // Past the last row the members keep their values; there is nothing to load.
    if (!isOpen() || (!isEditing() && isEOF()))
        return;
    FieldBinder b(*this, FieldBinder::Dir::Load);
    bindFields(b);
}

void CRecord::storeMembers() {
    FieldBinder b(*this, FieldBinder::Dir::Store);
    bindFields(b);
}

bool CRecord::lookup(const QString& criteria, const QVariantList& params) {
    try {
        openFilter(m_defaultTable, criteria, params);
    } catch (const DbException&) {
        // No half-opened state is kept; the engine's error is the caller's to report.
        close();
        throw;
    }
    return !isEOF();
}

bool CRecord::findById(qint32 id) {
    return lookup(QStringLiteral("[Id] = ?"), {id});
}
