#pragma once
#include <QDate>
#include <QString>
#include <QVariant>

class Database;

// Writes database files of the layouts that earlier releases left, table by table as their
// upgrade steps describe them: the first layout (before level 1), or the layout of release
// 1.10 (levels 1 to 5 done, version 110) that level 6 starts from.
class CEarlierLayout {
public:
    enum Layout { FirstLayout = 1, Release110 = 6 };

    struct Customer {
        QString name;
        QString address1, address2, city, province, postalCode, email;
        const char* hourlyRate = "2.50";
        const char* monthlyRate = "10.00";
        bool tax1 = true;
        float dailyHours = 8;
        QVariant lastBill; // a DbDateTime, or invalid for Null
    };

    // Creates `path` (which must not exist) with the tables of `layout`, no rows.
    CEarlierLayout(Database& db, const QString& path, Layout layout);

    void addCustomer(const Customer& c);
    // A session of `seconds` ending at `disconnect` (local time).
    void addSession(const QString& name, const QDateTime& disconnect, int seconds);
    // An invoice of the first billing model; `number` is its old invoice number (0: the
    // engine's next one, where the layout numbers invoices itself).
    void addInvoice(const QString& name, int number, const QDate& closing, const char* totalDue,
                    const char* tax1 = "0", const char* tax2 = "0");

private:
    Database& m_db;
    Layout m_layout;
};
