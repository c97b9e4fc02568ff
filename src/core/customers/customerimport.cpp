#include "core/customers/customerimport.h"

#include "core/customers/csvreader.h"
#include "core/customers/customercreate.h"
#include "core/customers/customernames.h"
#include "core/customers/customerpages.h"
#include "core/db/database.h"
#include "core/db/datetimeutil.h"
#include "core/db/dbexception.h"
#include "core/db/transaction.h"

#include <QFile>
#include <QHash>
#include <tuple>

namespace {

// Columns of the Users part of a row; addresses and phones follow.
enum Col : int {
    Username,
    FullName,
    Active,
    StartDate,
    EndDate,
    Comment,
    CreditCard,
    CCCompany,
    CCNameOnCard,
    ExpiryDate,
    BillingPlan,
    InvoicePlan,
    HtmlOverride,
    Html,
    AnniversaryDay,
    GotFirstInvoice,
    kUserCols
};
const char* const kAddressFields[] = {"EMail", "Address1", "Address2",
                                      "City",  "Province", "PostalCode"};
constexpr int kAddressFieldCount = 6;

int addressCol(int type, int field) {
    return kUserCols + type * kAddressFieldCount + field;
}
int phoneCol(int type) {
    return kUserCols + int(AddressTypeNames().size()) * kAddressFieldCount + type;
}

// A date YYYY-MM-DD in the years the date entry accepts.
std::optional<DbDateTime> parseDate(const QString& text) {
    const QDate d = QDate::fromString(text.trimmed(), Qt::ISODate);
    if (!d.isValid() || d.year() < 1970 || d.year() > 2035)
        return std::nullopt;
    return DbFromDate(d.year(), d.month(), d.day());
}

QHash<QString, qint32> planIds(const QList<PlanChoice>& plans) {
    QHash<QString, qint32> ids;
    for (const PlanChoice& p : plans)
        ids.insert(p.name.toCaseFolded(), p.id);
    ids.insert(QStringLiteral("none"), 0);
    return ids;
}

// Checks and stores the rows of one file.
class CImporter {
public:
    CImporter(Database& db, const CustomerDefaults& defaults, const QDate& today)
        : m_db(db), m_defaults(defaults), m_today(today),
          m_billingPlans(planIds(BillingPlanChoices(db))),
          m_invoicePlans(planIds(InvoicePlanChoices(db))) {}

    bool readHeader(const QStringList& header, CsvImportResult& result);
    void prepare();
    // Checks one row; stores it while no row so far was bad.
    void row(const QStringList& fields, qint64 line, CsvImportResult& result);

private:
    QString cell(const QStringList& fields, int col) const {
        const int i = m_index.value(col, -1);
        return i >= 0 && i < fields.size() ? fields.at(i) : QString();
    }
    bool has(const QStringList& fields, int col) const { return !cell(fields, col).isEmpty(); }
    QString check(const QStringList& fields, UserRow& user);
    void store(const UserRow& user, const QStringList& fields);

    Database& m_db;
    CustomerDefaults m_defaults;
    QDate m_today;
    QHash<QString, qint32> m_billingPlans, m_invoicePlans;
    QHash<int, int> m_index; // column -> position in the record
    int m_width = 0;
    Statement m_claimName, m_insertUser, m_insertAddress, m_insertPhone;
};

bool CImporter::readHeader(const QStringList& header, CsvImportResult& result) {
    const QStringList& names = CsvImportFields();
    m_width = int(header.size());
    for (int i = 0; i < header.size(); ++i) {
        const QString name = header.at(i).trimmed();
        int col = -1;
        for (int k = 0; k < names.size(); ++k)
            if (names.at(k).compare(name, Qt::CaseInsensitive) == 0)
                col = k;
        if (col < 0)
            result.problems.append({1, QStringLiteral("unknown field '%1'").arg(name)});
        else if (m_index.contains(col))
            result.problems.append({1, QStringLiteral("field '%1' named twice").arg(name)});
        else
            m_index.insert(col, i);
    }
    if (!m_index.contains(Username))
        result.problems.append({1, QStringLiteral("the header names no Username field")});
    return result.problems.isEmpty();
}

void CImporter::prepare() {
    // Names are unique ignoring case, across the stored customers and the file: every name
    // taken is claimed in a table of keys, on disk rather than in memory.
    m_db.execute(QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS ImportNameKeys "
                                "(NameKey TEXT PRIMARY KEY) WITHOUT ROWID"));
    m_db.execute(QStringLiteral("DELETE FROM temp.ImportNameKeys"));
    m_claimName =
        m_db.prepare(QStringLiteral("INSERT OR IGNORE INTO temp.ImportNameKeys VALUES (?)"));
    {
        Statement names = m_db.prepare(QStringLiteral("SELECT Username FROM Users"));
        while (names.next()) {
            m_claimName.bindText(1, CustomerNameKey(names.value(0).toString()));
            m_claimName.exec();
        }
    }
    m_insertUser = m_db.prepare(QStringLiteral(
        "INSERT INTO Users (Username, FullName, CreditCard, ExpiryDate, ActiveStatus, CCCompany, "
        "CCNameOnCard, StartDate, IdBillingPlan, IdInvoicePlan, GotFirstInvoice, EndDate, "
        "GroupOptions, Comment, IsGroup, AnniversaryDay, IdBPOverride, IdIPOverride, Options) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 0, ?, 0, ?, 0, 0, ?)"));
    m_insertAddress = m_db.prepare(
        QStringLiteral("INSERT INTO Address (Type, EMail, Address1, Address2, City, Province, "
                       "PostalCode, IdOwner) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"));
    m_insertPhone =
        m_db.prepare(QStringLiteral("INSERT INTO Phone (Type, Number, IdOwner) VALUES (?, ?, ?)"));
}

QString CImporter::check(const QStringList& fields, UserRow& u) {
    if (fields.size() != m_width)
        return QStringLiteral("%1 fields where the header names %2")
            .arg(fields.size())
            .arg(m_width);
    const QString name = cell(fields, Username).trimmed();
    if (const QString problem = NewCustomerNameProblem(QHash<QString, qint32>(), name);
        !problem.isEmpty())
        return problem;
    u = NewCustomerRow(name, false, m_defaults, m_today);
    u.FullName = cell(fields, FullName);
    u.Comment = cell(fields, Comment);
    u.CreditCard = cell(fields, CreditCard);
    u.CCCompany = cell(fields, CCCompany);
    u.CCNameOnCard = cell(fields, CCNameOnCard);
    if (u.CreditCard.size() > 19)
        return QStringLiteral("CreditCard holds at most 19 characters");
    if (u.CCCompany.size() > 255 || u.CCNameOnCard.size() > 255)
        return QStringLiteral("CCCompany and CCNameOnCard hold at most 255 characters");
    const QString expiry = cell(fields, ExpiryDate).trimmed();
    if (!expiry.isEmpty()) {
        const qsizetype slash = expiry.indexOf(QLatin1Char('/'));
        bool monthOk = false, yearOk = false;
        const int m = expiry.left(slash).toInt(&monthOk);
        const int y = expiry.mid(slash + 1).toInt(&yearOk);
        if (slash < 0 || !monthOk || m < 1 || m > 12 || slash > 2)
            return QStringLiteral("ExpiryDate: Please enter a month between 1 and 12");
        if (!yearOk || y < 1997 || y > 9999 || expiry.size() - slash - 1 > 4)
            return QStringLiteral("ExpiryDate: Please enter a year between 1997 and 9999");
        u.ExpiryDate = expiry;
    }
    const auto flag = [&](int col, auto& target, const char* label) -> QString {
        if (!has(fields, col))
            return {};
        const auto v = ParseYesNoField(cell(fields, col));
        if (!v)
            return QStringLiteral("%1 takes yes or no, not '%2'")
                .arg(QLatin1String(label), cell(fields, col));
        target = *v;
        return {};
    };
    bool active = true, overrideHtml = false, html = false;
    for (const QString& p :
         {flag(Active, active, "Active"), flag(HtmlOverride, overrideHtml, "HtmlOverride"),
          flag(Html, html, "Html"), flag(GotFirstInvoice, u.GotFirstInvoice, "GotFirstInvoice")})
        if (!p.isEmpty())
            return p;
    u.ActiveStatus = active ? UserStatus::Active : 0;
    u.Options = (overrideHtml ? UserOption::HtmlOverride : 0) | (html ? UserOption::Html : 0);
    for (const auto& [col, target, label] : {std::tuple{StartDate, &u.StartDate, "StartDate"},
                                             std::tuple{EndDate, &u.EndDate, "EndDate"}}) {
        if (!has(fields, col))
            continue;
        const auto d = parseDate(cell(fields, col));
        if (!d)
            return QStringLiteral("%1 is a date YYYY-MM-DD from 1970 to 2035, not '%2'")
                .arg(QLatin1String(label), cell(fields, col));
        *target = *d;
    }
    if (has(fields, StartDate) && m_defaults.anniversaryDay == 0)
        u.AnniversaryDay = DbToDate(u.StartDate).day();
    if (has(fields, AnniversaryDay)) {
        bool ok = false;
        u.AnniversaryDay = cell(fields, AnniversaryDay).trimmed().toInt(&ok);
        if (!ok || u.AnniversaryDay < 0 || u.AnniversaryDay > 31)
            return QStringLiteral("AnniversaryDay: Please enter an anniversary day between 0 "
                                  "and 31.");
    }
    if (has(fields, BillingPlan)) {
        const QString plan = cell(fields, BillingPlan).trimmed();
        const auto it = m_billingPlans.constFind(plan.toCaseFolded());
        if (it == m_billingPlans.cend())
            return QStringLiteral("no billing plan named '%1'").arg(plan);
        u.IdBillingPlan = *it;
    }
    if (has(fields, InvoicePlan)) {
        const QString plan = cell(fields, InvoicePlan).trimmed();
        const auto it = m_invoicePlans.constFind(plan.toCaseFolded());
        if (it == m_invoicePlans.cend())
            return QStringLiteral("no invoicing plan named '%1'").arg(plan);
        u.IdInvoicePlan = *it;
    }
    // The name is claimed last, so that a row refused for another reason leaves it free.
    m_claimName.bindText(1, CustomerNameKey(name));
    if (m_claimName.exec() == 0)
        return QStringLiteral("A customer with the logon name of '%1' already exists.").arg(name);
    return {};
}

void bindDate(Statement& st, int index, const DbDateTime& value) {
    if (value.isValid())
        st.bindDouble(index, value.days());
    else
        st.bindNull(index);
}

void CImporter::store(const UserRow& u, const QStringList& fields) {
    Statement& s = m_insertUser;
    s.bindText(1, u.Username);
    s.bindText(2, u.FullName);
    s.bindText(3, u.CreditCard);
    s.bindText(4, u.ExpiryDate);
    s.bindInt64(5, u.ActiveStatus);
    s.bindText(6, u.CCCompany);
    s.bindText(7, u.CCNameOnCard);
    bindDate(s, 8, u.StartDate);
    s.bindInt64(9, u.IdBillingPlan);
    s.bindInt64(10, u.IdInvoicePlan);
    s.bindInt64(11, u.GotFirstInvoice ? 1 : 0);
    bindDate(s, 12, u.EndDate);
    s.bindText(13, u.Comment);
    s.bindInt64(14, u.AnniversaryDay);
    s.bindInt64(15, u.Options);
    s.exec();
    const qint64 id = m_db.lastInsertId();

    for (int type = 0; type < AddressTypeNames().size(); ++type) {
        QStringList values;
        bool empty = true;
        for (int f = 0; f < kAddressFieldCount; ++f) {
            values.append(cell(fields, addressCol(type, f)));
            empty = empty && values.last().isEmpty();
        }
        if (type == AddressType::Billing && values.at(0).isEmpty()) {
            values[0] = NewCustomerBillingAddress(u.Username, m_defaults).EMail;
            empty = false;
        }
        if (empty)
            continue;
        m_insertAddress.bindInt64(1, type);
        for (int f = 0; f < kAddressFieldCount; ++f)
            m_insertAddress.bindText(2 + f, values.at(f));
        m_insertAddress.bindInt64(8, id);
        m_insertAddress.exec();
    }
    for (int type = 0; type < PhoneTypeNames().size(); ++type) {
        const QString number = cell(fields, phoneCol(type));
        if (number.isEmpty())
            continue;
        m_insertPhone.bindInt64(1, type);
        m_insertPhone.bindText(2, number);
        m_insertPhone.bindInt64(3, id);
        m_insertPhone.exec();
    }
}

void CImporter::row(const QStringList& fields, qint64 line, CsvImportResult& result) {
    ++result.rows;
    UserRow user;
    const QString problem = check(fields, user);
    if (!problem.isEmpty()) {
        result.problems.append({line, problem});
        return;
    }
    if (result.problems.isEmpty()) {
        store(user, fields);
        ++result.stored;
    }
}

} // namespace

const QStringList& CsvImportFields() {
    static const QStringList fields = [] {
        QStringList f{QStringLiteral("Username"),       QStringLiteral("FullName"),
                      QStringLiteral("Active"),         QStringLiteral("StartDate"),
                      QStringLiteral("EndDate"),        QStringLiteral("Comment"),
                      QStringLiteral("CreditCard"),     QStringLiteral("CCCompany"),
                      QStringLiteral("CCNameOnCard"),   QStringLiteral("ExpiryDate"),
                      QStringLiteral("BillingPlan"),    QStringLiteral("InvoicePlan"),
                      QStringLiteral("HtmlOverride"),   QStringLiteral("Html"),
                      QStringLiteral("AnniversaryDay"), QStringLiteral("GotFirstInvoice")};
        for (const QString& type : AddressTypeNames())
            for (const char* field : kAddressFields)
                f.append(type + QLatin1Char('.') + QLatin1String(field));
        for (const QString& type : PhoneTypeNames())
            f.append(QStringLiteral("Phone.") + type);
        return f;
    }();
    return fields;
}

CsvImportResult ImportCustomersCsv(Database& db, QIODevice& file, const CustomerDefaults& defaults,
                                   const QDate& today) {
    CsvImportResult result;
    const bool utf8 = IsUtf8File(file);
    if (!file.seek(0)) {
        result.failure = file.errorString();
        return result;
    }
    CCsvReader reader(file, utf8);
    try {
        CImporter importer(db, defaults, today);
        Transaction transaction(db);
        importer.prepare();
        QStringList fields;
        qint64 line = 0;
        bool header = true;
        for (;;) {
            const CCsvReader::Status status = reader.next(&fields, &line);
            if (status == CCsvReader::Status::End)
                break;
            if (status == CCsvReader::Status::Error) {
                result.problems.append({line, reader.errorString()});
                if (header)
                    break;
                ++result.rows;
                continue;
            }
            if (header) {
                header = false;
                if (!importer.readHeader(fields, result))
                    break;
                continue;
            }
            importer.row(fields, line, result);
        }
        if (header && result.problems.isEmpty())
            result.problems.append({1, QStringLiteral("the file is empty (no header row)")});
        if (const auto* f = qobject_cast<QFileDevice*>(&file);
            f && f->error() != QFileDevice::NoError)
            result.failure = f->errorString();
        db.execute(QStringLiteral("DROP TABLE IF EXISTS temp.ImportNameKeys"));
        if (!result.ok()) {
            result.stored = 0; // the guard undoes every row written
            return result;
        }
        transaction.commit();
    } catch (const DbException& e) {
        result.failure = e.message();
        result.stored = 0;
    }
    return result;
}

CsvImportResult ImportCustomersCsvFile(Database& db, const QString& path,
                                       const CustomerDefaults& defaults, const QDate& today) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        CsvImportResult result;
        result.failure = QStringLiteral("Unable to open %1: %2").arg(path, file.errorString());
        return result;
    }
    return ImportCustomersCsv(db, file, defaults, today);
}

std::optional<bool> ParseYesNoField(const QString& text) {
    const QString t = text.trimmed().toLower();
    if (t == QLatin1String("yes") || t == QLatin1String("1") || t == QLatin1String("true"))
        return true;
    if (t == QLatin1String("no") || t == QLatin1String("0") || t == QLatin1String("false"))
        return false;
    return std::nullopt;
}
