#include "core/billing/plancatalog.h"

#include "core/billing/chargetypes.h"
#include "core/db/database.h"

namespace {

QList<TemplateEntry> entries(Database& db, const QString& sql, const QVariantList& params = {}) {
    QList<TemplateEntry> list;
    Statement st = db.prepare(sql);
    st.bindAll(params);
    while (st.next())
        list.append({st.value(0).toInt(), st.value(1).toString(), st.value(2).toInt()});
    return list;
}

template <class Record, class Row>
std::optional<Row> findTemplate(Database& db, const QString& name) {
    Record rec(db);
    rec.openWhere(QStringLiteral("[Name] = ? AND [IdInvoice] = 0 ORDER BY Id"), {name});
    if (rec.isEOF())
        return std::nullopt;
    return rec.row();
}

// Another template of the table already holds the name (compared as the column compares,
// without regard to case).
bool nameTaken(Database& db, const char* table, const QString& name, qint32 exceptId) {
    return db
        .scalar(QStringLiteral("SELECT 1 FROM %1 WHERE Name = ? AND IdInvoice = 0 AND Id <> ?")
                    .arg(QLatin1String(table)),
                {name, exceptId})
        .isValid();
}

QString nameProblem(Database& db, const char* table, const QString& name, qint32 exceptId,
                    const char* taken) {
    if (name.trimmed().isEmpty())
        return QStringLiteral("Please enter a name.");
    if (nameTaken(db, table, name, exceptId))
        return QString::fromLatin1(taken).arg(name);
    return {};
}

} // namespace

QList<TemplateEntry> TemplateBillingPlans(Database& db) {
    return entries(db, QStringLiteral("SELECT Id, Name, 0 FROM BillingPlans WHERE IdInvoice = 0 "
                                      "ORDER BY Name, Id"));
}

QList<TemplateEntry> TemplateInvoicingPlans(Database& db) {
    return entries(db, QStringLiteral("SELECT Id, Name, 0 FROM InvoicePlans WHERE IdInvoice = 0 "
                                      "ORDER BY Name, Id"));
}

QList<TemplateEntry> TemplateCharges(Database& db) {
    return entries(db, QStringLiteral("SELECT Id, Name, Type FROM Charges WHERE IdInvoice = 0 "
                                      "ORDER BY Name, Id"));
}

QList<TemplateEntry> PlanChargeEntries(Database& db, qint32 planId) {
    return entries(db,
                   QStringLiteral("SELECT Charges.Id, Charges.Name, Charges.Type FROM BPChargeJoin "
                                  "INNER JOIN Charges ON BPChargeJoin.IdCharge = Charges.Id "
                                  "WHERE BPChargeJoin.IdBillingPlan = ? "
                                  "ORDER BY BPChargeJoin.OrdinalPosition, BPChargeJoin.Id"),
                   {planId});
}

std::optional<BPRow> LoadTemplateBillingPlan(Database& db, qint32 planId) {
    CBPRecord rec(db);
    rec.openWhere(QStringLiteral("[Id] = ? AND [IdInvoice] = 0"), {planId});
    return rec.isEOF() ? std::nullopt : std::optional<BPRow>(rec.row());
}

std::optional<InvoicePlanRow> LoadTemplateInvoicingPlan(Database& db, qint32 planId) {
    CInvoicePlanRecord rec(db);
    rec.openWhere(QStringLiteral("[Id] = ? AND [IdInvoice] = 0"), {planId});
    return rec.isEOF() ? std::nullopt : std::optional<InvoicePlanRow>(rec.row());
}

std::optional<BPRow> FindTemplateBillingPlan(Database& db, const QString& name) {
    return findTemplate<CBPRecord, BPRow>(db, name);
}

std::optional<InvoicePlanRow> FindTemplateInvoicingPlan(Database& db, const QString& name) {
    return findTemplate<CInvoicePlanRecord, InvoicePlanRow>(db, name);
}

std::optional<ChargeRow> FindTemplateCharge(Database& db, const QString& name) {
    return findTemplate<CChargeRecord, ChargeRow>(db, name);
}

bool IsTemplateRow(Database& db, const char* table, qint32 id) {
    return db
        .scalar(QStringLiteral("SELECT 1 FROM %1 WHERE Id = ? AND IdInvoice = 0")
                    .arg(QLatin1String(table)),
                {id})
        .isValid();
}

QString ChargeKindName(qint32 type) {
    switch (type) {
    case ChargeType::Tax:
        return QStringLiteral("Tax");
    case ChargeType::Online:
        return QStringLiteral("Online");
    case ChargeType::Fixed:
        return QStringLiteral("Fixed");
    case ChargeType::Surcharge:
        return QStringLiteral("Surcharge/Discount");
    case ChargeType::ByteTraffic:
        return QStringLiteral("Byte traffic");
    default:
        return {};
    }
}

std::optional<qint32> ChargeTypeOfKind(const QString& name) {
    QString key = name.toLower();
    key.remove(QLatin1Char(' '));
    if (key == QLatin1String("tax"))
        return ChargeType::Tax;
    if (key == QLatin1String("online"))
        return ChargeType::Online;
    if (key == QLatin1String("fixed"))
        return ChargeType::Fixed;
    if (key == QLatin1String("surcharge") || key == QLatin1String("discount") ||
        key == QLatin1String("surcharge/discount"))
        return ChargeType::Surcharge;
    if (key == QLatin1String("bytetraffic") || key == QLatin1String("bytes"))
        return ChargeType::ByteTraffic;
    return std::nullopt;
}

QString BillingPlanNameProblem(Database& db, const QString& name, qint32 exceptId) {
    return nameProblem(db, "BillingPlans", name, exceptId,
                       "A billing plan with the name of '%1' already exists.");
}

QString InvoicingPlanNameProblem(Database& db, const QString& name, qint32 exceptId) {
    return nameProblem(db, "InvoicePlans", name, exceptId,
                       "An invoice plan with the name of '%1' already exists.");
}

QString ChargeNameProblem(Database& db, const QString& name, qint32 exceptId) {
    return nameProblem(db, "Charges", name, exceptId,
                       "A charge with the name of '%1' already exists.");
}
