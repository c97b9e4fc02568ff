#include "common/earlierlayout.h"

#include "core/db/currency.h"
#include "core/db/database.h"
#include "core/db/datetimeutil.h"

#include <QDateTime>

using namespace Qt::StringLiterals;

namespace {

FieldDef text(const char* name, int size) {
    return FieldDef(QString::fromLatin1(name), FieldKind::Text, size);
}

FieldDef field(const char* name, FieldKind kind) {
    return FieldDef(QString::fromLatin1(name), kind);
}

QVariant money(const char* amount) {
    return QVariant::fromValue(Currency::fromDouble(QString::fromLatin1(amount).toDouble()));
}

} // namespace

CEarlierLayout::CEarlierLayout(Database& db, const QString& path, Layout layout)
    : m_db(db), m_layout(layout) {
    db.open(path, Database::OpenMode::Exclusive, true);
    const bool release110 = layout == Release110;
    const int nameSize = release110 ? 40 : 16;

    FieldList users{text("Username", nameSize),
                    text("FullName", 50),
                    text("CreditCard", 30),
                    text("ExpiryDate", 10),
                    text("Address1", 50),
                    text("Address2", 50),
                    text("City", 30),
                    text("Province", release110 ? 3 : 20),
                    text("PostalCode", 10),
                    text("EMail", 50),
                    field("HRate", FieldKind::Currency),
                    field("MRate", FieldKind::Currency),
                    field("Minimum", FieldKind::Currency),
                    field("Tax1", FieldKind::YesNo),
                    field("Tax2", FieldKind::YesNo),
                    field("HDay", FieldKind::Single),
                    field("HMonth", FieldKind::Single),
                    field("ORate", FieldKind::Currency),
                    field("Premium1", FieldKind::Currency),
                    field("Premium2", FieldKind::Currency),
                    field(release110 ? "Prepay" : "Prepaid", FieldKind::YesNo),
                    field("LastBill", FieldKind::DateTime),
                    field("Megabyte", FieldKind::Currency),
                    field("AmountDue", FieldKind::Currency),
                    field("PastDue", FieldKind::Currency)};
    if (release110)
        users << field("CommentID", FieldKind::Long) << field("ServiceExpiry", FieldKind::DateTime)
              << field("ActiveStatus", FieldKind::Integer).req().def(u"1"_s);
    db.createTable(u"Users"_s, users);
    db.createIndex(u"Users"_s, u"Username"_s);

    db.createTable(u"Events"_s,
                   {text("Username", nameSize), field("ConnectDate", FieldKind::DateTime),
                    field("DisconnectDate", FieldKind::DateTime),
                    field("Hours", FieldKind::Integer), field("Minutes", FieldKind::Integer),
                    field("Seconds", FieldKind::Integer), field("Sent", FieldKind::Long),
                    field("Received", FieldKind::Long), text("Reason", 50), text("Port", 10)});
    db.createIndex(u"Events"_s, u"Username"_s);

    db.createTable(u"Invoices"_s,
                   {text("Username", nameSize), field("ClosingDate", FieldKind::DateTime),
                    field("TotalTimeHH", FieldKind::Long), field("TotalTimeMM", FieldKind::Integer),
                    field("TotalTimeSS", FieldKind::Integer), field("Sent", FieldKind::Long),
                    field("Received", FieldKind::Long), field("Charge", FieldKind::Currency),
                    field("Prepaid", FieldKind::Currency), field("Minimum", FieldKind::Currency),
                    field("TotalDue", FieldKind::Currency), field("TotalPaid", FieldKind::Currency),
                    field("InvoiceNum", release110 ? FieldKind::AutoNumber : FieldKind::Long),
                    field("Tax1", FieldKind::Currency), field("Tax2", FieldKind::Currency),
                    field("PayCredit", FieldKind::Currency)});
    if (!release110)
        db.createIndex(u"Invoices"_s, u"InvoiceNum"_s, true);

    if (!release110)
        return;
    db.createTable(u"Comments"_s,
                   {field("CommentID", FieldKind::Long), field("Comment", FieldKind::Memo)});
    db.createTable(u"Servers"_s, {text("ServerName", 20), text("DateFormat", 40),
                                  field("InvoiceNum", FieldKind::Long)});
    db.createTable(u"LANTemp"_s, {text("UserName", 40), field("EventDate", FieldKind::DateTime),
                                  field("On/Off", FieldKind::YesNo), text("LogonID", 32)});
    db.createTable(u"DBInfo"_s, {field("Version", FieldKind::Long)});
    db.execute(u"INSERT INTO DBInfo ([Version]) VALUES (110)"_s);
}

void CEarlierLayout::addCustomer(const Customer& c) {
    m_db.execute(
        QStringLiteral("INSERT INTO Users (Username, FullName, ExpiryDate, Address1, Address2, "
                       "City, Province, PostalCode, EMail, HRate, MRate, Minimum, Tax1, Tax2, "
                       "HDay, HMonth, ORate, Premium1, Premium2, %1, LastBill) VALUES (?, ?, "
                       "'12/29', ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 0, ?, 100, ?, 0, 0, 1, ?)")
            .arg(m_layout == Release110 ? u"Prepay"_s : u"Prepaid"_s),
        {c.name, c.name.toUpper(), c.address1, c.address2, c.city, c.province, c.postalCode,
         c.email, money(c.hourlyRate), money(c.monthlyRate), money("5.00"), c.tax1,
         double(c.dailyHours), money(c.hourlyRate), c.lastBill});
}

void CEarlierLayout::addSession(const QString& name, const QDateTime& disconnect, int seconds) {
    const QDateTime connect = disconnect.addSecs(-seconds);
    m_db.execute(QStringLiteral("INSERT INTO Events (Username, ConnectDate, DisconnectDate, "
                                "Hours, Minutes, Seconds, Sent, Received, Reason, Port) VALUES "
                                "(?, ?, ?, ?, ?, ?, 1000, 2000, 'User request', 'COM1')"),
                 {name, QVariant::fromValue(DateTimeToDb(connect)),
                  QVariant::fromValue(DateTimeToDb(disconnect)), seconds / 3600, seconds / 60 % 60,
                  seconds % 60});
}

void CEarlierLayout::addInvoice(const QString& name, int number, const QDate& closing,
                                const char* totalDue, const char* tax1, const char* tax2) {
    m_db.execute(QStringLiteral("INSERT INTO Invoices (Username, ClosingDate, TotalTimeHH, "
                                "TotalTimeMM, TotalTimeSS, Sent, Received, Charge, Prepaid, "
                                "Minimum, TotalDue, TotalPaid, InvoiceNum, Tax1, Tax2, PayCredit) "
                                "VALUES (?, ?, 1, 0, 0, 0, 0, ?, 0, 0, ?, 0, ?, ?, ?, 0)"),
                 {name, QVariant::fromValue(DbFromLocal(closing)), money(totalDue), money(totalDue),
                  number, money(tax1), money(tax2)});
}
