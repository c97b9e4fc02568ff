#pragma once
#include <QDate>
#include <QList>
#include <QString>

// The sample ISP: the company, its customers and the month the sample database is set up to
// bill. The database generator (sampledatabase.h) and the session generator (sampledetail.h)
// both read these tables, so the detail file's users are exactly the sample's customers.

// The billed month is [first day of November 2026, first day of December 2026); invoices
// are dated on the first day of December.
QDate SampleMonthStart();
QDate SampleMonthEnd();
QDate SampleBillingDate();

// "Kestrel Bay Internet".
QString SampleCompanyName();
// File names: the database and the FreeRADIUS detail file of the month.
inline constexpr const char* kSampleDatabaseFile = "tollk.sample.db";
inline constexpr const char* kSampleDetailFile = "detail-202611";

// How a customer uses the line; it shapes the generated sessions.
enum class SampleUsage {
    None,      // no sessions this month
    Light,     // a few short daytime sessions
    Evening,   // most sessions in the evening premium hours
    Heavy,     // many long sessions: runs into the overtime band
    Night,     // late sessions, many across midnight
    Broadband, // long sessions with a lot of traffic
    Business,  // weekday office hours, steady traffic
};

struct SampleCustomer {
    QString username;
    QString fullName;
    QString address1;
    QString address2;
    QString city;
    QString province;
    QString postalCode;
    QString email;
    QString phone;
    QString phone2; // a second number (Type 1), may be empty
    QString creditCard;
    QString ccCompany;
    QString ccNameOnCard;
    QString ccExpiry;
    QDate startDate;
    QDate endDate; // invalid: service continues
    int anniversaryDay = 0;
    QString billingPlan; // plan names (see sampledatabase.cpp)
    QString invoicePlan;
    QString group;     // the group the customer belongs to, empty for none
    int staticIps = 0; // units of the "Static IP address" charge, 0 for no FixedUnitsJoin row
    bool gotFirstInvoice = true;
    int options = 0; // Users.Options (HTML override bits)
    QString comment;
    SampleUsage usage = SampleUsage::Light;
};

struct SampleGroup {
    QString name;
    QString fullName;
    QString parent; // the group it is nested in, empty at the top
    int groupOptions = 0;
    QString billingPlan; // the group's own plans (a summary invoice uses them), may be empty
    QString invoicePlan;
    QString overrideBillingPlan; // used when groupOptions overrides the members' plans
    QString overrideInvoicePlan;
    QString address1;
    QString city;
    QString province;
    QString postalCode;
    QString email;
    QString phone;
    QString comment;
};

// The customers, in the order they are created.
const QList<SampleCustomer>& SampleCustomers();
// The groups, parents before the groups nested in them.
const QList<SampleGroup>& SampleGroups();
