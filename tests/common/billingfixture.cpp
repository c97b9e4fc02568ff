#include "common/billingfixture.h"

#include "core/billing/chargemodel.h"
#include "core/billing/chargetypes.h"
#include "core/db/database.h"
#include "core/db/datetimeutil.h"
#include "core/db/eventrecord.h"
#include "core/db/insertrecord.h"

using namespace Qt::StringLiterals;

qint64 CBillingFixture::at(int y, int m, int d, int h, int mi, int s) {
    return LocalToSeconds(QDate(y, m, d), QTime(h, mi, s));
}

Currency CBillingFixture::money(const char* text) {
    return Currency::fromDouble(QByteArray(text).toDouble());
}

ChargeRow CBillingFixture::fixed(const QString& name, const char* amount) {
    ChargeRow c;
    c.Type = ChargeType::Fixed;
    c.Name = name;
    c.ChargeAmount = money(amount);
    c.UnitQuantity = 1;
    c.DefUnitQuantity = 1;
    return c;
}

ChargeRow CBillingFixture::online(const QString& name, const char* perHour) {
    ChargeRow c;
    c.Type = ChargeType::Online;
    c.Name = name;
    c.UnitName = u"Hour"_s;
    c.UnitQuantity = 3600;
    c.ChargeAmount = money(perHour);
    return c;
}

ChargeRow CBillingFixture::bytes(const QString& name, const char* perUnit, qint32 unitBytes,
                                 qint32 directions) {
    ChargeRow c;
    c.Type = ChargeType::ByteTraffic;
    c.Name = name;
    c.UnitName = u"Byte(s)"_s;
    c.UnitQuantity = unitBytes;
    c.ChargeAmount = money(perUnit);
    c.Options = directions;
    return c;
}

ChargeRow CBillingFixture::tax(const QString& name, double percent) {
    ChargeRow c;
    c.Type = ChargeType::Tax;
    c.Name = name;
    c.UnitQuantity = 1;
    c.SGPercentage = percent;
    return c;
}

ChargeRow CBillingFixture::surcharge(const QString& name, double percent) {
    ChargeRow c = tax(name, percent);
    c.Type = ChargeType::Surcharge;
    return c;
}

qint32 CBillingFixture::addCharge(ChargeRow charge) {
    charge.Id = 0;
    SaveChargeCopy(m_db, charge);
    return charge.Id;
}

qint32 CBillingFixture::addPlan(const QString& name, const QDate& start, const QDate& end,
                                const char* minimum, bool prepayMinimum) {
    BPRow p;
    p.Name = name;
    p.StartDate = DbFromLocal(start);
    p.EndDate = DbFromLocal(end);
    p.MinimumCharge = money(minimum);
    p.PrepayMinimum = prepayMinimum;
    return addPlan(p);
}

qint32 CBillingFixture::addPlan(BPRow plan) {
    return insertRecord<CBPRecord>(m_db, plan);
}

qint32 CBillingFixture::addInvoicePlan(const QString& name, bool showDetails) {
    InvoicePlanRow p;
    p.Name = name;
    p.ShowDetails = showDetails;
    return addInvoicePlan(p);
}

qint32 CBillingFixture::addInvoicePlan(InvoicePlanRow plan) {
    return insertRecord<CInvoicePlanRecord>(m_db, plan);
}

void CBillingFixture::attach(qint32 planId, qint32 chargeId) {
    const QVariant last = m_db.scalar(
        u"SELECT MAX(OrdinalPosition) FROM BPChargeJoin WHERE IdBillingPlan = ?"_s, {planId});
    const int next = last.isNull() || !last.isValid() ? 0 : last.toInt() + 1;
    m_db.execute(QStringLiteral("INSERT INTO BPChargeJoin (IdBillingPlan, IdCharge, "
                                "OrdinalPosition) VALUES (?, ?, ?)"),
                 {planId, chargeId, next});
}

void CBillingFixture::link(qint32 appliedId, qint32 toId) {
    m_db.execute(u"INSERT INTO ChargeChargeJoin (IdChargeFrom, IdChargeTo) VALUES (?, ?)"_s,
                 {appliedId, toId});
}

void CBillingFixture::setFixedUnits(qint32 chargeId, qint32 userId, qint32 units) {
    m_db.execute(u"INSERT INTO FixedUnitsJoin (IdUser, IdCharge, NumUnits) VALUES (?, ?, ?)"_s,
                 {userId, chargeId, units});
}

qint32 CBillingFixture::addCustomer(const QString& username, qint32 planId, qint32 invoicePlanId,
                                    const QDate& start) {
    UserRow u;
    u.Username = username;
    u.IdBillingPlan = planId;
    u.IdInvoicePlan = invoicePlanId;
    u.StartDate = start.isValid() ? DbFromLocal(start) : DbDateTime::null();
    u.GotFirstInvoice = true;
    u.ActiveStatus = 1;
    return addCustomer(u);
}

qint32 CBillingFixture::addCustomer(UserRow user) {
    return insertRecord<CUserRecord>(m_db, user);
}

UserRow CBillingFixture::customer(qint32 id) {
    CUserRecord rec(m_db);
    if (!rec.findById(id))
        return UserRow();
    return rec.row();
}

void CBillingFixture::updateCustomer(const UserRow& user) {
    CUserRecord rec(m_db);
    if (!rec.findById(user.Id))
        return;
    rec.edit();
    rec = user;
    rec.update();
}

void CBillingFixture::addSession(const QString& username, qint64 disconnect, qint64 seconds,
                                 qint64 sent, qint64 received, const QString& port,
                                 qint32 serverId) {
    EventRow e;
    e.Username = username;
    e.ConnectDate = SecondsToDb(disconnect - seconds);
    e.DisconnectDate = SecondsToDb(disconnect);
    e.Hours = qint16(seconds / 3600);
    e.Minutes = qint16(seconds / 60 % 60);
    e.Seconds = qint16(seconds % 60);
    e.Sent = sent;
    e.Received = received;
    e.Port = port;
    e.ServerId = serverId;
    insertRecord<CEventRecord>(m_db, e);
}
