#include "core/db/schema.h"

#include "core/db/dbexception.h"
#include "core/db/transaction.h"

#include <QFile>
#include <QFileInfo>

namespace {

using K = FieldKind;

FieldDef Long(const char* name) {
    return FieldDef(QString::fromLatin1(name), K::Long);
}
FieldDef AutoNumber(const char* name) {
    return FieldDef(QString::fromLatin1(name), K::AutoNumber);
}
FieldDef Integer(const char* name) {
    return FieldDef(QString::fromLatin1(name), K::Integer);
}
FieldDef Double(const char* name) {
    return FieldDef(QString::fromLatin1(name), K::Double);
}
FieldDef Money(const char* name) {
    return FieldDef(QString::fromLatin1(name), K::Currency);
}
FieldDef Date(const char* name) {
    return FieldDef(QString::fromLatin1(name), K::DateTime);
}
FieldDef YesNo(const char* name) {
    return FieldDef(QString::fromLatin1(name), K::YesNo);
}
FieldDef Text(const char* name, int size = kDefaultTextSize) {
    return FieldDef(QString::fromLatin1(name), K::Text, size);
}
FieldDef Memo(const char* name) {
    return FieldDef(QString::fromLatin1(name), K::Memo);
}
FieldDef Binary(const char* name) {
    return FieldDef(QString::fromLatin1(name), K::LongBinary);
}

// A text field whose default is the empty string must accept it.
FieldDef EmptyText(const char* name, int size = kDefaultTextSize) {
    return Text(name, size).zeroLength().def(QString());
}

IndexSchema Primary(const char* field) {
    return {QString::fromLatin1(field), true};
}
IndexSchema Secondary(const char* field) {
    return {QString::fromLatin1(field), false};
}

QList<TableSchema> BuildSchema() {
    const QString zero = QStringLiteral("0");
    const QString one = QStringLiteral("1");
    QList<TableSchema> s;

    s.append({QStringLiteral("Users"),
              {Text("Username", 40),
               Text("FullName"),
               Text("CreditCard"),
               Text("ExpiryDate").zeroLength(),
               Integer("ActiveStatus").req().def(one),
               AutoNumber("Id"),
               Text("CCCompany"),
               Text("CCNameOnCard"),
               Date("StartDate"),
               Long("IdBillingPlan").req().def(zero),
               Long("IdInvoicePlan").req().def(zero),
               YesNo("GotFirstInvoice").req().def(zero),
               Date("EndDate"),
               Long("GroupOptions").req().def(zero),
               Memo("Comment").zeroLength().def(QString()),
               YesNo("IsGroup").req().def(zero),
               Long("AnniversaryDay").req().def(zero),
               Long("IdBPOverride").def(zero),
               Long("IdIPOverride").def(zero),
               Long("Options").def(zero)},
              {Primary("Id"), Secondary("Username")}});

    s.append({QStringLiteral("UserGroupJoin"),
              {Long("GroupId"), Long("UserLinkId"), AutoNumber("Id")},
              {Primary("Id"), Secondary("GroupId"), Secondary("UserLinkId")}});

    s.append({QStringLiteral("Address"),
              {AutoNumber("Id"), Long("Type"), EmptyText("Address1"), EmptyText("Address2"),
               EmptyText("City"), EmptyText("Province"), EmptyText("PostalCode"),
               EmptyText("EMail"), Long("IdOwner").req().def(zero)},
              {Primary("Id"), Secondary("IdOwner")}});

    s.append({QStringLiteral("Phone"),
              {AutoNumber("Id"), Long("Type"), EmptyText("Number"), Long("IdOwner")},
              {Primary("Id"), Secondary("IdOwner")}});

    s.append({QStringLiteral("BillingPlans"),
              {AutoNumber("Id"), Text("Name"), Date("StartDate"), Date("EndDate"),
               Money("MinimumCharge"), YesNo("PrepayMinimum"), YesNo("UseAnniversary"),
               Long("IdInvoice").req().def(zero), Long("IdUser").req().def(zero),
               Long("Options").def(zero)},
              {Primary("Id"), Secondary("IdInvoice"), Secondary("IdUser")}});

    s.append({QStringLiteral("Charges"),
              {Money("ChargeAmount").req().def(zero),
               Date("ExpiryDate"),
               Long("FilterEnd"),
               Long("FilterStart"),
               Long("FilterType"),
               YesNo("FirstInvoiceOnly"),
               AutoNumber("Id"),
               Long("IdInvoice").req().def(zero),
               Long("IdTemplate").req().def(zero),
               Long("IdUser").req().def(zero),
               Money("InvoicedAmount").req().def(zero),
               Long("InvoicedQuantity").req().def(zero),
               Long("LimitEnd"),
               Long("LimitFilterEnd"),
               Long("LimitFilterStart"),
               Long("LimitFilterType"),
               Long("LimitStart"),
               Long("LimitType"),
               Text("Name"),
               YesNo("Prepaid"),
               YesNo("Prorate"),
               Long("SGIdApplyTo").req().def(zero),
               Double("SGPercentage"),
               YesNo("SGRound"),
               Long("Type"),
               EmptyText("UnitName"),
               Long("UnitQuantity"),
               YesNo("Block"),
               Long("Options").def(zero),
               Long("LimitAccum").req().def(zero),
               Long("UnitAccum").req().def(zero),
               EmptyText("FilterString"),
               Long("FilterValue").def(zero),
               Long("DefUnitQuantity").def(one)},
              {Primary("Id"), Secondary("IdInvoice"), Secondary("IdUser"), Secondary("IdTemplate"),
               Secondary("SGIdApplyTo")}});

    s.append({QStringLiteral("BPChargeJoin"),
              {AutoNumber("Id"), Long("IdBillingPlan"), Long("IdCharge"), Long("OrdinalPosition")},
              {Primary("Id"), Secondary("IdBillingPlan"), Secondary("IdCharge")}});

    s.append({QStringLiteral("ChargeChargeJoin"),
              {AutoNumber("Id"), Long("IdChargeFrom"), Long("IdChargeTo")},
              {Primary("Id"), Secondary("IdChargeFrom"), Secondary("IdChargeTo")}});

    s.append({QStringLiteral("FixedUnitsJoin"),
              {AutoNumber("Id"), Long("IdUser"), Long("IdCharge"), Long("NumUnits")},
              {Primary("Id"), Secondary("IdCharge"), Secondary("IdUser")}});

    s.append({QStringLiteral("InvoicePlans"),
              {AutoNumber("Id"),
               Text("Name"),
               YesNo("ShowDetails"),
               YesNo("ShowAddress"),
               Text("DateFormat"),
               Long("Language"),
               Memo("Message"),
               Text("EmailServer"),
               Text("EmailSender"),
               Text("EmailSubject"),
               YesNo("CreateIfZero"),
               YesNo("EmailOnCreate"),
               YesNo("PrintOnCreate"),
               YesNo("ViewOnCreate"),
               Long("IdInvoice").req().def(zero),
               Long("IdUser").req().def(zero),
               EmptyText("Footer"),
               EmptyText("Heading"),
               Long("Options").def(zero),
               EmptyText("Bitmap"),
               YesNo("ShowInvoiceNum").req().def(zero)},
              {Primary("Id"), Secondary("IdInvoice"), Secondary("IdUser")}});

    s.append({QStringLiteral("Invoices"),
              {Date("ClosingDate"),
               Long("TotalTimeHH"),
               Integer("TotalTimeMM"),
               Integer("TotalTimeSS"),
               Long("Sent"),
               Long("Received"),
               Money("Charge"),
               Money("Prepaid"),
               Money("Minimum"),
               Money("TotalDue"),
               Money("TotalPaid"),
               AutoNumber("InvoiceNum"),
               Long("IdUser").req(),
               Money("Prepaying").req().def(zero),
               Money("PrevBalance").req().def(zero),
               Money("TaxableGross").req().def(zero),
               Money("Taxes").req().def(zero),
               Date("BillingDate"),
               Date("OpeningDate"),
               Long("Version"),
               Money("NewCharges").req().def(zero),
               Long("Flags").def(zero),
               Money("Tax1").def(zero),
               Money("Tax2").def(zero),
               Binary("Users"),
               Money("Payments").req().def(zero)},
              {Primary("InvoiceNum"), Secondary("IdUser")}});

    s.append({QStringLiteral("Events"),
              {Text("Username", 40), Date("ConnectDate"), Date("DisconnectDate"), Integer("Hours"),
               Integer("Minutes"), Integer("Seconds"), Long("Sent"), Long("Received"),
               Text("Reason"), Text("Port"), Long("ServerId"), Text("SessionId"), AutoNumber("Id")},
              {Primary("Id"), Secondary("Username"), Secondary("DisconnectDate")}});

    s.append({QStringLiteral("Servers"), {Text("ServerName"), AutoNumber("Id")}, {Primary("Id")}});

    s.append({QStringLiteral("LANTemp"),
              {Text("UserName", 40), Date("EventDate"), AutoNumber("Id"), Long("ServerId"),
               Text("LogonID")},
              {Primary("Id")}});

    s.append({QStringLiteral("DBInfo"),
              {Long("Version"), EmptyText("Company Name"), EmptyText("LogoURL"),
               Money("MinimumPayment").def(zero), YesNo("PrepaidMinimum").def(zero)},
              {}});

    return s;
}

} // namespace

QString IndexSchema::name() const {
    return primary ? QStringLiteral("PrimaryKey") : field + QStringLiteral("_index");
}

const FieldDef* TableSchema::field(const QString& fieldName) const {
    for (const FieldDef& f : fields) {
        if (f.name.compare(fieldName, Qt::CaseInsensitive) == 0)
            return &f;
    }
    return nullptr;
}

const QList<TableSchema>& CurrentSchema() {
    static const QList<TableSchema> schema = BuildSchema();
    return schema;
}

const TableSchema& CurrentTable(const QString& table) {
    for (const TableSchema& t : CurrentSchema()) {
        if (t.name.compare(table, Qt::CaseInsensitive) == 0)
            return t;
    }
    throw DbException(
        QStringLiteral("The table '%1' is not part of the database layout.").arg(table));
}

FieldDef CurrentField(const QString& table, const QString& field) {
    const FieldDef* f = CurrentTable(table).field(field);
    if (!f) {
        throw DbException(QStringLiteral("The field '%1.%2' is not part of the database layout.")
                              .arg(table, field));
    }
    return *f;
}

void CreateTable(Database& db, const TableSchema& table) {
    db.createTable(table.name, table.fields);
    for (const IndexSchema& index : table.indexes)
        db.createIndex(table.name, index.field, index.primary);
}

void CreateCurrentSchema(Database& db) {
    // On a failure the guard undoes everything; should its rollback fail too, the first
    // failure is the one reported.
    Transaction transaction(db);
    for (const TableSchema& table : CurrentSchema())
        CreateTable(db, table);
    // The one DBInfo row: the layout level, every other field at its default.
    db.execute(QStringLiteral("INSERT INTO DBInfo ([Version]) VALUES (?)"), {kCurrentDbVersion});
    transaction.commit();
}

void CreateNewDatabase(const QString& path) {
    if (Database::isServerName(path)) {
        // The server's database exists already (made by its administrator); it must be empty.
        Database db;
        db.open(path, Database::OpenMode::Exclusive, true);
        if (!db.tableNames().isEmpty())
            throw DbException(QStringLiteral("The database %1 already holds tables; a new "
                                             "database is not created over it.")
                                  .arg(db.displayName()));
        CreateCurrentSchema(db);
        return;
    }
    if (QFileInfo::exists(path)) {
        throw DbException(
            QStringLiteral("The file '%1' already exists; a new database is not created over it.")
                .arg(path));
    }
    {
        // The file will hold customers' card numbers: it is made readable by its owner only
        // before anything is written to it (the engine's journal takes the same permissions).
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                       QFileDevice::ReadOwner | QFileDevice::WriteOwner))
            throw DbException(
                QStringLiteral("Unable to create the file '%1': %2").arg(path, file.errorString()));
    }
    try {
        Database db;
        db.open(path, Database::OpenMode::Exclusive, true);
        CreateCurrentSchema(db);
        db.close();
    } catch (...) {
        // The file was created here: do not leave an incomplete database behind.
        QFile::remove(path);
        throw;
    }
}
