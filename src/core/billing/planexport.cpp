#include "core/billing/planexport.h"

#include "core/billing/plancatalog.h"
#include "core/billing/plancreate.h"
#include "core/db/database.h"
#include "core/db/datetimeutil.h"
#include "core/db/dbexception.h"
#include "core/db/insertrecord.h"
#include "core/db/serverrecord.h"
#include "core/db/transaction.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QSet>
#include <cmath>
#include <map>

namespace {

const QString kFormat = QStringLiteral("tollkeeper-plans");
constexpr int kVersion = 1;

// The fields of a template charge that travel between databases; the key, the invoice and
// customer references, what was billed and the carried accumulations stay behind. The origin
// server travels by name ("Server"), not by this database's Id.
template <class Row, class F> void chargeFields(Row& r, F&& f) {
    f("ChargeAmount", r.ChargeAmount);
    f("ExpiryDate", r.ExpiryDate);
    f("FilterType", r.FilterType);
    f("FilterStart", r.FilterStart);
    f("FilterEnd", r.FilterEnd);
    f("FilterString", r.FilterString);
    f("FirstInvoiceOnly", r.FirstInvoiceOnly);
    f("LimitType", r.LimitType);
    f("LimitStart", r.LimitStart);
    f("LimitEnd", r.LimitEnd);
    f("LimitFilterType", r.LimitFilterType);
    f("LimitFilterStart", r.LimitFilterStart);
    f("LimitFilterEnd", r.LimitFilterEnd);
    f("Prepaid", r.Prepaid);
    f("Prorate", r.Prorate);
    f("SGPercentage", r.SGPercentage);
    f("SGRound", r.SGRound);
    f("UnitName", r.UnitName);
    f("UnitQuantity", r.UnitQuantity);
    f("Block", r.Block);
    f("Options", r.Options);
    f("DefUnitQuantity", r.DefUnitQuantity);
}

template <class Row, class F> void billingPlanFields(Row& r, F&& f) {
    f("StartDate", r.StartDate);
    f("EndDate", r.EndDate);
    f("MinimumCharge", r.MinimumCharge);
    f("PrepayMinimum", r.PrepayMinimum);
    f("UseAnniversary", r.UseAnniversary);
    f("Options", r.Options);
}

template <class Row, class F> void invoicingPlanFields(Row& r, F&& f) {
    f("ShowDetails", r.ShowDetails);
    f("ShowAddress", r.ShowAddress);
    f("DateFormat", r.DateFormat);
    f("Language", r.Language);
    f("Message", r.Message);
    f("EmailServer", r.EmailServer);
    f("EmailSender", r.EmailSender);
    f("EmailSubject", r.EmailSubject);
    f("CreateIfZero", r.CreateIfZero);
    f("EmailOnCreate", r.EmailOnCreate);
    f("PrintOnCreate", r.PrintOnCreate);
    f("ViewOnCreate", r.ViewOnCreate);
    f("Footer", r.Footer);
    f("Heading", r.Heading);
    f("Options", r.Options);
    f("Bitmap", r.Bitmap);
    f("ShowInvoiceNum", r.ShowInvoiceNum);
}

// --- values to JSON and back ---

QJsonValue toJson(qint32 v) {
    return v;
}
QJsonValue toJson(bool v) {
    return v;
}
QJsonValue toJson(double v) {
    return v;
}
QJsonValue toJson(const QString& v) {
    return v;
}
// Amounts as exact decimal text, so no binary fraction creeps in.
QJsonValue toJson(const Currency& v) {
    return v.format(4);
}
// Local calendar dates: "YYYY-MM-DD", with "THH:MM:SS" when not at midnight; null for none.
QJsonValue toJson(const DbDateTime& v) {
    if (!DbToSeconds(v))
        return QJsonValue::Null;
    const QDate date = DbToDate(v);
    const QTime time = DbToTime(v);
    if (!time.isValid() || time == QTime(0, 0))
        return date.toString(Qt::ISODate);
    return date.toString(Qt::ISODate) + QLatin1Char('T') + time.toString(Qt::ISODate);
}

bool fromJson(const QJsonValue& j, qint32& v) {
    const double d = j.toDouble(std::nan(""));
    if (!j.isDouble() || d != std::floor(d) || d < -2147483648.0 || d > 2147483647.0)
        return false;
    v = qint32(d);
    return true;
}
bool fromJson(const QJsonValue& j, bool& v) {
    if (!j.isBool())
        return false;
    v = j.toBool();
    return true;
}
bool fromJson(const QJsonValue& j, double& v) {
    if (!j.isDouble() || !std::isfinite(j.toDouble()))
        return false;
    v = j.toDouble();
    return true;
}
bool fromJson(const QJsonValue& j, QString& v) {
    if (!j.isString())
        return false;
    v = j.toString();
    return true;
}
bool fromJson(const QJsonValue& j, Currency& v) {
    bool ok = false;
    const double d = j.isString() ? QLocale::c().toDouble(j.toString().trimmed(), &ok)
                                  : j.toDouble(std::nan(""));
    ok = ok || j.isDouble();
    if (!ok || !std::isfinite(d) || std::fabs(d) > 1e12)
        return false;
    v = Currency::fromDouble(d);
    return true;
}
bool fromJson(const QJsonValue& j, DbDateTime& v) {
    if (j.isNull()) {
        v = DbDateTime(0.0);
        return true;
    }
    if (!j.isString())
        return false;
    const QString text = j.toString();
    const QDate date = QDate::fromString(text.left(10), Qt::ISODate);
    QTime time(0, 0);
    if (text.size() > 10) {
        if (text.at(10) != QLatin1Char('T'))
            return false;
        time = QTime::fromString(text.mid(11), Qt::ISODate);
    }
    if (!date.isValid() || !time.isValid() || date.year() < 1970 || date.year() > 2037)
        return false;
    v = DbFromLocal(date, time);
    return true;
}

template <class Row, class Fields>
QJsonObject rowObject(const QString& name, Row row, Fields fields) {
    QJsonObject o;
    o.insert(QStringLiteral("Name"), name);
    fields(row,
           [&o](const char* field, const auto& v) { o.insert(QLatin1String(field), toJson(v)); });
    return o;
}

QJsonArray nameArray(const QList<TemplateEntry>& list) {
    QJsonArray a;
    for (const TemplateEntry& e : list)
        a.append(e.name);
    return a;
}

QList<TemplateEntry> linkedTo(Database& db, qint32 chargeId) {
    QList<TemplateEntry> list;
    Statement st = db.prepare(QStringLiteral(
        "SELECT Charges.Id, Charges.Name, Charges.Type FROM ChargeChargeJoin INNER JOIN Charges "
        "ON ChargeChargeJoin.IdChargeFrom = Charges.Id WHERE ChargeChargeJoin.IdChargeTo = ? "
        "ORDER BY Charges.Name, Charges.Id"));
    st.bind(1, chargeId);
    while (st.next())
        list.append({st.value(0).toInt(), st.value(1).toString(), st.value(2).toInt()});
    return list;
}

// Stores `row` as the template of its name: a new record, or over the one there (counted in
// `replaced`), which keeps its Id so that what points to it keeps doing so. Returns the Id.
template <class Record, class Row>
qint32 storeTemplate(Database& db, const Row& row, int* replaced) {
    Record rec(db);
    rec.openWhere(QStringLiteral("[Name] = ? AND [IdInvoice] = 0 ORDER BY Id"), {row.Name});
    if (rec.isEOF())
        return insertRecord<Record>(db, row);
    Row stored = row;
    stored.Id = rec.Id;
    rec.edit();
    rec = stored;
    rec.update();
    ++*replaced;
    return stored.Id;
}

// --- reading a document ---

struct ChargeEntry {
    ChargeRow row;
    QString server; // empty: any server
    QStringList applied;
};
struct BillingPlanEntry {
    BPRow row;
    QStringList charges; // in priority order
    QStringList taxes;
};

// Reads the fields of one entry into `row`; every key must be one the entry knows.
template <class Row, class Fields>
QString readFields(const QJsonObject& o, Row& row, Fields fields, const QString& what,
                   const QSet<QString>& extraKeys) {
    QSet<QString> known = extraKeys;
    known.insert(QStringLiteral("Name"));
    QString problem;
    fields(row, [&](const char* field, auto& v) {
        const QString key = QLatin1String(field);
        known.insert(key);
        if (problem.isEmpty() && o.contains(key) && !fromJson(o.value(key), v))
            problem = QStringLiteral("%1: %2 has a value of the wrong kind.").arg(what, key);
    });
    if (!problem.isEmpty())
        return problem;
    for (auto it = o.begin(); it != o.end(); ++it)
        if (!known.contains(it.key()))
            return QStringLiteral("%1: unknown field %2.").arg(what, it.key());
    return {};
}

QString readNames(const QJsonObject& o, const QString& key, QStringList* names,
                  const QString& what) {
    if (!o.contains(key))
        return {};
    if (!o.value(key).isArray())
        return QStringLiteral("%1: %2 must be a list of names.").arg(what, key);
    for (const QJsonValue& v : o.value(key).toArray()) {
        if (!v.isString() || v.toString().trimmed().isEmpty())
            return QStringLiteral("%1: %2 must be a list of names.").arg(what, key);
        names->append(v.toString());
    }
    return {};
}

QString entryName(const QJsonValue& v, const QString& list, qsizetype index, QString* name) {
    if (!v.isObject())
        return QStringLiteral("%1 entry %2 is no object.").arg(list).arg(index + 1);
    *name = v.toObject().value(QStringLiteral("Name")).toString().trimmed();
    if (name->isEmpty())
        return QStringLiteral("%1 entry %2 has no name.").arg(list).arg(index + 1);
    return {};
}

// Case-insensitive name keys, as names compare in the database.
QString key(const QString& name) {
    return name.trimmed().toCaseFolded();
}

// The first name of the list that comes again, empty when none does.
QString listedTwice(const QStringList& names) {
    QSet<QString> seen;
    for (const QString& n : names)
        if (seen.contains(key(n)))
            return n;
        else
            seen.insert(key(n));
    return {};
}

} // namespace

EditResult ExportPlans(Database& db, const QStringList& names, QByteArray* json) {
    const QString failure = QStringLiteral("Error exporting plans");
    try {
        QList<TemplateEntry> plans, invoicingPlans;
        if (names.isEmpty()) {
            plans = TemplateBillingPlans(db);
            invoicingPlans = TemplateInvoicingPlans(db);
        }
        for (const QString& name : names) {
            if (const auto bp = FindTemplateBillingPlan(db, name))
                plans.append({bp->Id, bp->Name, 0});
            else if (const auto ip = FindTemplateInvoicingPlan(db, name))
                invoicingPlans.append({ip->Id, ip->Name, 0});
            else
                return EditResult::failed(
                    QStringLiteral("No billing or invoicing plan named '%1'.").arg(name));
        }
        // The charges: those of the plans (every charge when nothing was named), then every
        // tax or surcharge applied to one of them, until nothing new is reached.
        std::map<qint32, TemplateEntry> charges;
        QList<TemplateEntry> pending =
            names.isEmpty() ? TemplateCharges(db) : QList<TemplateEntry>();
        for (const TemplateEntry& p : plans)
            pending += PlanChargeEntries(db, p.id);
        while (!pending.isEmpty()) {
            const TemplateEntry e = pending.takeFirst();
            if (charges.emplace(e.id, e).second)
                pending += linkedTo(db, e.id);
        }
        QHash<qint32, QString> servers;
        Statement st = db.prepare(QStringLiteral("SELECT Id, ServerName FROM Servers"));
        while (st.next())
            servers.insert(st.value(0).toInt(), st.value(1).toString());

        QList<QJsonObject> chargeObjects;
        for (const auto& [id, entry] : charges) {
            CChargeRecord rec(db);
            if (!rec.findById(id))
                continue;
            QJsonObject o =
                rowObject(rec.Name, rec.row(), [](auto& r, auto&& f) { chargeFields(r, f); });
            o.insert(QStringLiteral("Kind"), ChargeKindName(rec.Type));
            if (rec.FilterValue != 0) {
                // A server that is gone matches no session; left out, the charge would match
                // every session in the other database, so it is better refused here.
                if (!servers.contains(rec.FilterValue))
                    return EditResult::failed(
                        QStringLiteral("The charge '%1' is limited to a server (Id %2) that is no "
                                       "longer in the server list; choose its server again.")
                            .arg(rec.Name)
                            .arg(rec.FilterValue));
                o.insert(QStringLiteral("Server"), servers.value(rec.FilterValue));
            }
            const QList<TemplateEntry> applied = linkedTo(db, id);
            if (!applied.isEmpty())
                o.insert(QStringLiteral("Applied"), nameArray(applied));
            chargeObjects.append(o);
        }
        std::stable_sort(chargeObjects.begin(), chargeObjects.end(), [](auto& a, auto& b) {
            return a.value(QStringLiteral("Name"))
                       .toString()
                       .compare(b.value(QStringLiteral("Name")).toString(), Qt::CaseInsensitive) <
                   0;
        });
        QJsonArray chargeArray;
        for (const QJsonObject& o : chargeObjects)
            chargeArray.append(o);

        QJsonArray planArray;
        for (const TemplateEntry& p : plans) {
            CBPRecord rec(db);
            if (!rec.findById(p.id))
                continue;
            QJsonObject o =
                rowObject(rec.Name, rec.row(), [](auto& r, auto&& f) { billingPlanFields(r, f); });
            QList<TemplateEntry> ordinary, taxes;
            for (const TemplateEntry& e : PlanChargeEntries(db, p.id))
                (e.type & ChargeType::Applied ? taxes : ordinary).append(e);
            o.insert(QStringLiteral("Charges"), nameArray(ordinary));
            o.insert(QStringLiteral("Taxes"), nameArray(taxes));
            planArray.append(o);
        }
        QJsonArray invoicingArray;
        for (const TemplateEntry& p : invoicingPlans) {
            CInvoicePlanRecord rec(db);
            if (rec.findById(p.id))
                invoicingArray.append(rowObject(
                    rec.Name, rec.row(), [](auto& r, auto&& f) { invoicingPlanFields(r, f); }));
        }
        QJsonObject doc;
        doc.insert(QStringLiteral("Format"), kFormat);
        doc.insert(QStringLiteral("Version"), kVersion);
        doc.insert(QStringLiteral("Charges"), chargeArray);
        doc.insert(QStringLiteral("BillingPlans"), planArray);
        doc.insert(QStringLiteral("InvoicingPlans"), invoicingArray);
        *json = QJsonDocument(doc).toJson(QJsonDocument::Indented);
    } catch (const DbException& e) {
        return EditResult::failed(failure, e.message());
    }
    return {};
}

EditResult ImportPlans(Database& db, const QByteArray& json, bool replace,
                       PlanImportSummary* summary) {
    const auto refuse = [](const QString& why) {
        return EditResult::failed(QStringLiteral("Nothing was imported: %1").arg(why));
    };
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return refuse(QStringLiteral("the file is no JSON document (%1 at offset %2).")
                          .arg(parseError.errorString())
                          .arg(parseError.offset));
    const QJsonObject doc = document.object();
    if (!document.isObject() || doc.value(QStringLiteral("Format")).toString() != kFormat)
        return refuse(QStringLiteral("the file is no Tollkeeper price list."));
    if (doc.value(QStringLiteral("Version")).toInt() != kVersion)
        return refuse(QStringLiteral("the file is of version %1; this program reads version %2.")
                          .arg(doc.value(QStringLiteral("Version")).toInt())
                          .arg(kVersion));
    for (auto it = doc.begin(); it != doc.end(); ++it)
        if (!QStringList{QStringLiteral("Format"), QStringLiteral("Version"),
                         QStringLiteral("Charges"), QStringLiteral("BillingPlans"),
                         QStringLiteral("InvoicingPlans")}
                 .contains(it.key()))
            return refuse(QStringLiteral("unknown field %1.").arg(it.key()));

    for (const char* list : {"Charges", "BillingPlans", "InvoicingPlans"})
        if (doc.contains(QLatin1String(list)) && !doc.value(QLatin1String(list)).isArray())
            return refuse(QStringLiteral("%1 must be a list.").arg(QLatin1String(list)));

    // 1. Read and check every entry.
    QList<ChargeEntry> charges;
    QList<BillingPlanEntry> plans;
    QList<InvoicePlanRow> invoicingPlans;
    QHash<QString, qint32> fileChargeTypes; // name key -> type
    QSet<QString> planKeys, invoicingKeys;
    const QJsonArray chargeArray = doc.value(QStringLiteral("Charges")).toArray();
    for (qsizetype i = 0; i < chargeArray.size(); ++i) {
        QString name;
        QString problem = entryName(chargeArray.at(i), QStringLiteral("Charges"), i, &name);
        if (!problem.isEmpty())
            return refuse(problem);
        const QJsonObject o = chargeArray.at(i).toObject();
        const QString what = QStringLiteral("charge '%1'").arg(name);
        const auto type = ChargeTypeOfKind(o.value(QStringLiteral("Kind")).toString());
        if (!type)
            return refuse(QStringLiteral("%1: unknown Kind '%2'.")
                              .arg(what, o.value(QStringLiteral("Kind")).toString()));
        ChargeEntry e{NewChargeRow(name, *type), {}, {}};
        problem = readFields(
            o, e.row, [](auto& r, auto&& f) { chargeFields(r, f); }, what,
            {QStringLiteral("Kind"), QStringLiteral("Server"), QStringLiteral("Applied")});
        if (problem.isEmpty())
            problem = readNames(o, QStringLiteral("Applied"), &e.applied, what);
        if (!problem.isEmpty())
            return refuse(problem);
        if (o.contains(QStringLiteral("Server")) &&
            !fromJson(o.value(QStringLiteral("Server")), e.server))
            return refuse(QStringLiteral("%1: Server must be a name.").arg(what));
        if (const QString twice = listedTwice(e.applied); !twice.isEmpty())
            return refuse(QStringLiteral("%1 lists '%2' twice.").arg(what, twice));
        if (e.row.UnitQuantity < 1)
            return refuse(QStringLiteral("%1: UnitQuantity must be at least 1.").arg(what));
        if (fileChargeTypes.contains(key(name)))
            return refuse(QStringLiteral("the charge '%1' is listed twice.").arg(name));
        fileChargeTypes.insert(key(name), *type);
        charges.append(e);
    }
    const QJsonArray planArray = doc.value(QStringLiteral("BillingPlans")).toArray();
    for (qsizetype i = 0; i < planArray.size(); ++i) {
        QString name;
        QString problem = entryName(planArray.at(i), QStringLiteral("BillingPlans"), i, &name);
        if (!problem.isEmpty())
            return refuse(problem);
        const QJsonObject o = planArray.at(i).toObject();
        const QString what = QStringLiteral("billing plan '%1'").arg(name);
        BillingPlanEntry e{NewBillingPlanRow(name, QDate::currentDate()), {}, {}};
        problem = readFields(o, e.row, [](auto& r, auto&& f) { billingPlanFields(r, f); }, what,
                             {QStringLiteral("Charges"), QStringLiteral("Taxes")});
        if (problem.isEmpty())
            problem = readNames(o, QStringLiteral("Charges"), &e.charges, what);
        if (problem.isEmpty())
            problem = readNames(o, QStringLiteral("Taxes"), &e.taxes, what);
        if (!problem.isEmpty())
            return refuse(problem);
        if (const QString twice = listedTwice(e.charges + e.taxes); !twice.isEmpty())
            return refuse(QStringLiteral("%1 lists '%2' twice.").arg(what, twice));
        if (!DbToSeconds(e.row.StartDate) || !DbToSeconds(e.row.EndDate) ||
            e.row.StartDate.days() >= e.row.EndDate.days())
            return refuse(
                QStringLiteral("%1: Billing start date must precede billing end date.").arg(what));
        if (planKeys.contains(key(name)))
            return refuse(QStringLiteral("the billing plan '%1' is listed twice.").arg(name));
        planKeys.insert(key(name));
        plans.append(e);
    }
    const QJsonArray invoicingArray = doc.value(QStringLiteral("InvoicingPlans")).toArray();
    for (qsizetype i = 0; i < invoicingArray.size(); ++i) {
        QString name;
        QString problem =
            entryName(invoicingArray.at(i), QStringLiteral("InvoicingPlans"), i, &name);
        if (!problem.isEmpty())
            return refuse(problem);
        InvoicePlanRow row = NewInvoicingPlanRow(name);
        problem = readFields(invoicingArray.at(i).toObject(), row,
                             [](auto& r, auto&& f) { invoicingPlanFields(r, f); },
                             QStringLiteral("invoicing plan '%1'").arg(name), {});
        if (!problem.isEmpty())
            return refuse(problem);
        if (invoicingKeys.contains(key(name)))
            return refuse(QStringLiteral("the invoicing plan '%1' is listed twice.").arg(name));
        invoicingKeys.insert(key(name));
        invoicingPlans.append(row);
    }

    int replaced = 0;
    try {
        // 2. Check against the database: names taken, and the charges the entries name, which
        // are either in the file or templates here.
        const auto chargeType = [&](const QString& name) -> std::optional<qint32> {
            if (fileChargeTypes.contains(key(name)))
                return fileChargeTypes.value(key(name));
            if (const auto row = FindTemplateCharge(db, name))
                return row->Type;
            return std::nullopt;
        };
        for (const ChargeEntry& e : charges) {
            if (FindTemplateCharge(db, e.row.Name) && !replace)
                return refuse(QStringLiteral("A charge with the name of '%1' already exists.")
                                  .arg(e.row.Name));
            for (const QString& n : e.applied) {
                const auto t = chargeType(n);
                if (!t || !(*t & ChargeType::Applied))
                    return refuse(QStringLiteral("charge '%1': '%2' is no tax or surcharge.")
                                      .arg(e.row.Name, n));
            }
        }
        for (const BillingPlanEntry& e : plans) {
            if (FindTemplateBillingPlan(db, e.row.Name) && !replace)
                return refuse(QStringLiteral("A billing plan with the name of '%1' already exists.")
                                  .arg(e.row.Name));
            for (const QString& n : e.charges) {
                const auto t = chargeType(n);
                if (!t)
                    return refuse(QStringLiteral("billing plan '%1': no charge named '%2'.")
                                      .arg(e.row.Name, n));
                if (*t & ChargeType::Applied)
                    return refuse(QStringLiteral("billing plan '%1': '%2' is a tax or surcharge; "
                                                 "list it under Taxes.")
                                      .arg(e.row.Name, n));
            }
            for (const QString& n : e.taxes) {
                const auto t = chargeType(n);
                if (!t || !(*t & ChargeType::Applied))
                    return refuse(QStringLiteral("billing plan '%1': '%2' is no tax or surcharge.")
                                      .arg(e.row.Name, n));
            }
        }
        for (const InvoicePlanRow& row : invoicingPlans)
            if (FindTemplateInvoicingPlan(db, row.Name) && !replace)
                return refuse(
                    QStringLiteral("An invoice plan with the name of '%1' already exists.")
                        .arg(row.Name));

        // 3. Store all of it, or nothing. A replaced template keeps its Id, so plans, customers
        // and groups that point to it keep doing so; frozen copies are never looked at.
        Transaction transaction(db);
        QHash<QString, qint32> chargeIds; // name key -> Id
        for (ChargeEntry& e : charges) {
            if (!e.server.isEmpty()) {
                QVariant id = db.scalar(QStringLiteral("SELECT Id FROM Servers WHERE ServerName "
                                                       "= ?"),
                                        {e.server});
                e.row.FilterValue = id.isValid()
                                        ? id.toInt()
                                        : insertRecord<CServerRecord>(db, ServerRow{e.server, 0});
            }
            chargeIds.insert(key(e.row.Name), storeTemplate<CChargeRecord>(db, e.row, &replaced));
        }
        const auto chargeId = [&](const QString& name) {
            if (chargeIds.contains(key(name)))
                return chargeIds.value(key(name));
            return FindTemplateCharge(db, name).value_or(ChargeRow{}).Id;
        };
        for (const ChargeEntry& e : charges) {
            const qint32 to = chargeIds.value(key(e.row.Name));
            db.execute(QStringLiteral("DELETE FROM ChargeChargeJoin WHERE IdChargeTo = ?"), {to});
            for (const QString& n : e.applied)
                db.execute(QStringLiteral("INSERT INTO ChargeChargeJoin (IdChargeFrom, IdChargeTo) "
                                          "VALUES (?, ?)"),
                           {chargeId(n), to});
        }
        for (const BillingPlanEntry& e : plans) {
            const qint32 id = storeTemplate<CBPRecord>(db, e.row, &replaced);
            db.execute(QStringLiteral("DELETE FROM BPChargeJoin WHERE IdBillingPlan = ?"), {id});
            const auto link = [&](const QString& name, qint32 position) {
                db.execute(QStringLiteral("INSERT INTO BPChargeJoin (IdBillingPlan, IdCharge, "
                                          "OrdinalPosition) VALUES (?, ?, ?)"),
                           {id, chargeId(name), position});
            };
            for (qsizetype i = 0; i < e.charges.size(); ++i)
                link(e.charges.at(i), qint32(i));
            for (const QString& n : e.taxes)
                link(n, 0);
        }
        for (const InvoicePlanRow& row : invoicingPlans)
            storeTemplate<CInvoicePlanRecord>(db, row, &replaced);
        transaction.commit();
    } catch (const DbException& e) {
        return EditResult::failed(QStringLiteral("Error importing plans"), e.message());
    }
    if (summary)
        *summary = {int(plans.size()), int(invoicingPlans.size()), int(charges.size()), replaced};
    return {};
}
