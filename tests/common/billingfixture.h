#pragma once
#include "core/db/bprecord.h"
#include "core/db/chargerecord.h"
#include "core/db/currency.h"
#include "core/db/invoiceplanrecord.h"
#include "core/db/userrecord.h"

#include <QDate>
#include <QString>
#include <QTime>

class Database;

// Builds billing data on a real database for tests: plans, charges and their links,
// customers and their sessions. Every add* writes the row at once and returns its Id.
class CBillingFixture {
public:
    explicit CBillingFixture(Database& db) : m_db(db) {}

    // Local time in seconds since 1970.
    static qint64 at(int y, int m, int d, int h = 0, int mi = 0, int s = 0);
    // An amount written as decimal text ("12.50", "-1.23").
    static Currency money(const char* text);

    // --- charge templates (not yet saved) ---
    // Fixed charge: `amount` per unit, once per billing period.
    static ChargeRow fixed(const QString& name, const char* amount);
    // Connect time priced per hour (UnitQuantity 3600), all hours, no band.
    static ChargeRow online(const QString& name, const char* perHour);
    // Byte traffic priced per `unitBytes` bytes; directions: ChargeOption::BytesSent/Received.
    static ChargeRow bytes(const QString& name, const char* perUnit, qint32 unitBytes,
                           qint32 directions = 0x03);
    // Tax (type 1) or surcharge/discount (type 8) of `percent` percent.
    static ChargeRow tax(const QString& name, double percent);
    static ChargeRow surcharge(const QString& name, double percent);

    // --- rows ---
    qint32 addCharge(ChargeRow charge);
    // A billing plan over [start, end) (dates at 00:00 local time).
    qint32 addPlan(const QString& name, const QDate& start, const QDate& end,
                   const char* minimum = "0", bool prepayMinimum = false);
    qint32 addPlan(BPRow plan);
    qint32 addInvoicePlan(const QString& name, bool showDetails = false);
    qint32 addInvoicePlan(InvoicePlanRow plan);
    // Puts a charge on a plan, after the plan's other charges.
    void attach(qint32 planId, qint32 chargeId);
    // Applies charge `appliedId` (tax, surcharge, discount) to charge `toId`.
    void link(qint32 appliedId, qint32 toId);
    // A customer's unit count for a fixed charge.
    void setFixedUnits(qint32 chargeId, qint32 userId, qint32 units);

    // A customer (billing and invoicing plan, service from `start`, first invoice had).
    qint32 addCustomer(const QString& username, qint32 planId = 0, qint32 invoicePlanId = 0,
                       const QDate& start = QDate(2020, 1, 1));
    qint32 addCustomer(UserRow user);
    UserRow customer(qint32 id);
    void updateCustomer(const UserRow& user);

    // A session of `seconds` that ended at `disconnect` (local seconds since 1970).
    void addSession(const QString& username, qint64 disconnect, qint64 seconds, qint64 sent = 0,
                    qint64 received = 0, const QString& port = QString(), qint32 serverId = 0);

private:
    Database& m_db;
};
