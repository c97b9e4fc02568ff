#include "core/sample/sampledatabase.h"

#include "core/billing/chargetypes.h"
#include "core/db/addressrecord.h"
#include "core/db/bpchargejoin.h"
#include "core/db/bprecord.h"
#include "core/db/chargechargejoinrecord.h"
#include "core/db/chargerecord.h"
#include "core/db/database.h"
#include "core/db/databasehold.h"
#include "core/db/datetimeutil.h"
#include "core/db/dbexception.h"
#include "core/db/dbinfo.h"
#include "core/db/fixedunitsjoin.h"
#include "core/db/insertrecord.h"
#include "core/db/invoiceplanrecord.h"
#include "core/db/phonerecord.h"
#include "core/db/schema.h"
#include "core/db/transaction.h"
#include "core/db/usergroupjoin.h"
#include "core/db/userrecord.h"
#include "core/sample/sampledata.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QPainterPath>

#include <filesystem>
#include <system_error>

namespace {

Currency money(qint64 cents) {
    return Currency::fromUnits(cents * 100);
}

class SampleBuilder {
public:
    SampleBuilder(Database& db, QString logoPath) : m_db(db), m_logo(std::move(logoPath)) {}

    void build() {
        company();
        charges();
        billingPlans();
        invoicePlans();
        groups();
        customers();
    }

private:
    qint32 charge(const QString& name) const { return lookup(m_charges, name, "charge"); }
    qint32 billingPlan(const QString& name) const {
        return name.isEmpty() ? 0 : lookup(m_plans, name, "billing plan");
    }
    qint32 invoicePlan(const QString& name) const {
        return name.isEmpty() ? 0 : lookup(m_invoicePlans, name, "invoicing plan");
    }
    static qint32 lookup(const QHash<QString, qint32>& map, const QString& name, const char* what) {
        const auto it = map.find(name);
        if (it == map.end())
            throw DbException(QStringLiteral("The sample data names an unknown %1 '%2'.")
                                  .arg(QLatin1String(what), name));
        return it.value();
    }

    void company() {
        CDBInfo info(m_db);
        if (!info.read())
            throw DbException(QStringLiteral("The new database has no DBInfo row."));
        info.edit();
        info.CompanyName = SampleCompanyName();
        info.LogoURL = m_logo;
        info.update();
    }

    void addCharge(ChargeRow row) {
        if (row.UnitQuantity == 0)
            row.UnitQuantity = 1;
        m_charges.insert(row.Name, insertRecord<CChargeRecord>(m_db, row));
    }

    static ChargeRow fixed(const QString& name, qint64 cents) {
        ChargeRow c;
        c.Name = name;
        c.Type = ChargeType::Fixed;
        c.ChargeAmount = money(cents);
        c.UnitQuantity = 1;
        c.LimitType = LimitWindow::BillingPeriod;
        return c;
    }
    static ChargeRow online(const QString& name, qint64 centsPerHour) {
        ChargeRow c;
        c.Name = name;
        c.Type = ChargeType::Online;
        c.ChargeAmount = money(centsPerHour);
        c.UnitName = QStringLiteral("Hour");
        c.UnitQuantity = 3600;
        return c;
    }
    static ChargeRow percentage(const QString& name, qint32 type, double percent) {
        ChargeRow c;
        c.Name = name;
        c.Type = type;
        c.UnitQuantity = 1;
        c.SGPercentage = percent;
        return c;
    }

    void charges() {
        // Fixed charges.
        ChargeRow access = fixed(QStringLiteral("Monthly access fee"), 995);
        access.Prorate = true; // customers who join or leave in the month pay their share
        addCharge(access);
        ChargeRow family = fixed(QStringLiteral("Family monthly fee"), 2495);
        family.Prorate = true;
        addCharge(family);
        ChargeRow broadband = fixed(QStringLiteral("Broadband monthly fee"), 2995);
        broadband.Prorate = true;
        addCharge(broadband);
        ChargeRow setup = fixed(QStringLiteral("Setup fee"), 2500);
        setup.FirstInvoiceOnly = true;
        addCharge(setup);
        addCharge(fixed(QStringLiteral("Business line fee"), 3900));
        ChargeRow ip = fixed(QStringLiteral("Static IP address"), 600);
        ip.UnitName = QStringLiteral("Address");
        ip.DefUnitQuantity = 1; // customers' own counts are in FixedUnitsJoin
        addCharge(ip);
        addCharge(fixed(QStringLiteral("Shared backbone fee"), 6000));
        addCharge(fixed(QStringLiteral("Shared dock line"), 2500));
        // Charged on the customer's anniversary day, once a month.
        ChargeRow anniversary = fixed(QStringLiteral("Anniversary service fee"), 1200);
        anniversary.LimitType = LimitWindow::EveryNMonths;
        anniversary.LimitFilterEnd = 1;
        anniversary.LimitFilterType = LimitAnchor::AnniversaryDay;
        addCharge(anniversary);

        // Connect time. The evening premium comes first in its plans, so it takes the hours
        // from 18:00 to 23:00; the rest is shared by the regular band (the first 20 hours of
        // the month, evening hours counted) and the overtime band above it.
        ChargeRow evening = online(QStringLiteral("Evening premium"), 200);
        evening.FilterType = PremiumFilter::Daily;
        evening.FilterStart = 18 * 3600;
        evening.FilterEnd = 23 * 3600;
        addCharge(evening);
        ChargeRow regular = online(QStringLiteral("Online time"), 100);
        regular.LimitStart = 0;
        regular.LimitEnd = 20 * 3600;
        regular.LimitType = LimitWindow::BillingPeriod;
        addCharge(regular);
        ChargeRow overtime = online(QStringLiteral("Overtime"), 150);
        overtime.LimitStart = 20 * 3600;
        overtime.LimitEnd = 0;
        overtime.LimitType = LimitWindow::BillingPeriod;
        addCharge(overtime);
        addCharge(online(QStringLiteral("Pay-as-you-go time"), 240));
        addCharge(online(QStringLiteral("Anniversary online time"), 125));

        // Byte traffic, by whole megabytes; the remainder waits for the next invoice.
        ChargeRow traffic;
        traffic.Name = QStringLiteral("Data transfer");
        traffic.Type = ChargeType::ByteTraffic;
        traffic.ChargeAmount = money(5);
        traffic.UnitName = QStringLiteral("MB");
        traffic.UnitQuantity = 1024 * 1024;
        traffic.Block = true;
        traffic.Options = ChargeOption::BytesSent | ChargeOption::BytesReceived;
        addCharge(traffic);

        // Applied charges: a tax at plan level, a surcharge on one charge, a discount.
        addCharge(percentage(QStringLiteral("Sales tax"), ChargeType::Tax, 8.25));
        addCharge(percentage(QStringLiteral("Network surcharge"), ChargeType::Surcharge, 5.0));
        addCharge(percentage(QStringLiteral("Family discount"), ChargeType::Surcharge, -10.0));

        ChargeChargeJoinRow link;
        link.IdChargeFrom = charge(QStringLiteral("Network surcharge"));
        link.IdChargeTo = charge(QStringLiteral("Data transfer"));
        insertRecord<CChargeChargeJoinRecord>(m_db, link);
    }

    void addPlan(const QString& name, const QStringList& chargeNames, qint64 minimumCents = 0,
                 bool prepay = false, bool anniversary = false) {
        BPRow plan;
        plan.Name = name;
        plan.StartDate = DbFromLocal(SampleMonthStart());
        plan.EndDate = DbFromLocal(SampleMonthEnd());
        plan.MinimumCharge = money(minimumCents);
        plan.PrepayMinimum = prepay;
        plan.UseAnniversary = anniversary;
        const qint32 id = insertRecord<CBPRecord>(m_db, plan);
        m_plans.insert(name, id);
        qint32 position = 0;
        for (const QString& c : chargeNames) {
            BPChargeJoinRow join;
            join.IdBillingPlan = id;
            join.IdCharge = charge(c);
            join.OrdinalPosition = position++;
            insertRecord<CBPChargeJoin>(m_db, join);
        }
    }

    void billingPlans() {
        const QString tax = QStringLiteral("Sales tax");
        addPlan(QStringLiteral("Dial-up Standard"),
                {QStringLiteral("Monthly access fee"), QStringLiteral("Evening premium"),
                 QStringLiteral("Online time"), QStringLiteral("Overtime"), tax});
        addPlan(QStringLiteral("Pay As You Go"), {QStringLiteral("Pay-as-you-go time"), tax});
        addPlan(QStringLiteral("Anniversary Dial-up"),
                {QStringLiteral("Anniversary service fee"),
                 QStringLiteral("Anniversary online time"), tax},
                0, false, true);
        addPlan(QStringLiteral("Family Saver"),
                {QStringLiteral("Family monthly fee"), QStringLiteral("Evening premium"),
                 QStringLiteral("Online time"), QStringLiteral("Overtime"),
                 QStringLiteral("Family discount"), tax});
        addPlan(QStringLiteral("Broadband Home"),
                {QStringLiteral("Broadband monthly fee"), QStringLiteral("Setup fee"),
                 QStringLiteral("Data transfer"), tax});
        addPlan(QStringLiteral("Business Broadband"),
                {QStringLiteral("Business line fee"), QStringLiteral("Static IP address"),
                 QStringLiteral("Data transfer"), tax},
                7500, true);
        addPlan(QStringLiteral("Business Park Services"),
                {QStringLiteral("Shared backbone fee"), tax});
        addPlan(QStringLiteral("Dock Offices Shared Line"), {QStringLiteral("Shared dock line")});
    }

    struct InvoiceText {
        QString heading, message, footer, subject;
    };

    static InvoiceText textsFor(qint32 language) {
        const QString footer = QStringLiteral(
            "Kestrel Bay Internet, 500 Harbor Road, Kestrel Bay, OR 97301 - 503-555-0100 - "
            "billing@example.net");
        switch (language) {
        case InvoiceLanguage::French:
            return {QStringLiteral("Kestrel Bay Internet - Facture mensuelle"),
                    QStringLiteral("Merci d'avoir choisi Kestrel Bay Internet.\r\n"
                                   "Les heures du soir (18 h à 23 h) sont facturées au tarif "
                                   "majoré.\r\nPaiement dû sous 30 jours."),
                    footer, QStringLiteral("Votre facture Kestrel Bay Internet")};
        case InvoiceLanguage::Spanish:
            return {QStringLiteral("Kestrel Bay Internet - Factura mensual"),
                    QStringLiteral("Gracias por elegir Kestrel Bay Internet.\r\n"
                                   "Las horas de la tarde (18:00 a 23:00) se facturan con "
                                   "recargo.\r\nPago a 30 días."),
                    footer, QStringLiteral("Su factura de Kestrel Bay Internet")};
        case InvoiceLanguage::Portuguese:
            return {QStringLiteral("Kestrel Bay Internet - Fatura mensal"),
                    QStringLiteral("Obrigado por escolher a Kestrel Bay Internet.\r\n"
                                   "O horário noturno (18h às 23h) é cobrado com acréscimo.\r\n"
                                   "Pagamento em 30 dias."),
                    footer, QStringLiteral("Sua fatura da Kestrel Bay Internet")};
        default:
            return {QStringLiteral("Kestrel Bay Internet - Monthly Statement"),
                    QStringLiteral("Thank you for choosing Kestrel Bay Internet.\r\n"
                                   "Evening hours (6 pm to 11 pm) are billed at the premium "
                                   "rate.\r\nPayment is due within 30 days of the invoice date."),
                    footer, QStringLiteral("Your Kestrel Bay Internet invoice")};
        }
    }

    void addInvoicePlan(const QString& name, qint32 language, bool html, bool details,
                        bool createIfZero, const QString& dateFormat) {
        const InvoiceText t = textsFor(language);
        InvoicePlanRow p;
        p.Name = name;
        p.ShowDetails = details;
        p.ShowAddress = true;
        p.ShowInvoiceNum = true;
        p.DateFormat = dateFormat;
        p.Language = language;
        p.Message = t.message;
        p.Heading = t.heading;
        p.Footer = t.footer;
        p.Bitmap = m_logo;
        p.EmailServer = QStringLiteral("localhost");
        p.EmailSender = QStringLiteral("billing@example.net");
        p.EmailSubject = t.subject;
        p.CreateIfZero = createIfZero;
        // Sending is a separate step: no mail server is needed to run invoices.
        p.EmailOnCreate = false;
        p.PrintOnCreate = false;
        p.ViewOnCreate = true;
        p.Options = html ? InvoicePlanOption::Html : 0;
        m_invoicePlans.insert(name, insertRecord<CInvoicePlanRecord>(m_db, p));
    }

    void invoicePlans() {
        const QString us = QStringLiteral("%m/%d/%Y %H:%M");
        const QString europe = QStringLiteral("%d/%m/%Y %H:%M");
        addInvoicePlan(QStringLiteral("English (HTML)"), InvoiceLanguage::English, true, false,
                       false, us);
        addInvoicePlan(QStringLiteral("English detailed (text)"), InvoiceLanguage::English, false,
                       true, true, us);
        addInvoicePlan(QStringLiteral("French (HTML)"), InvoiceLanguage::French, true, true, false,
                       europe);
        addInvoicePlan(QStringLiteral("Spanish (text)"), InvoiceLanguage::Spanish, false, false,
                       false, europe);
        addInvoicePlan(QStringLiteral("Portuguese (HTML)"), InvoiceLanguage::Portuguese, true, true,
                       false, europe);
        addInvoicePlan(QStringLiteral("Business summary (HTML)"), InvoiceLanguage::English, true,
                       true, true, QStringLiteral("%Y-%m-%d %H:%M"));
    }

    void addAddressAndPhones(qint32 owner, const QString& a1, const QString& a2,
                             const QString& city, const QString& province, const QString& postal,
                             const QString& email, const QString& phone, const QString& phone2) {
        AddressRow a;
        a.Type = 0;
        a.Address1 = a1;
        a.Address2 = a2;
        a.City = city;
        a.Province = province;
        a.PostalCode = postal;
        a.EMail = email;
        a.IdOwner = owner;
        insertRecord<CAddressRecord>(m_db, a);
        const QStringList numbers{phone, phone2};
        for (qint32 type = 0; type < numbers.size(); ++type) {
            if (numbers[type].isEmpty())
                continue;
            PhoneRow p;
            p.Type = type;
            p.Number = numbers[type];
            p.IdOwner = owner;
            insertRecord<CPhoneRecord>(m_db, p);
        }
    }

    void join(const QString& group, qint32 member) {
        UserGroupJoinRow j;
        j.GroupId = lookup(m_groups, group, "group");
        j.UserLinkId = member;
        insertRecord<CUserGroupJoin>(m_db, j);
    }

    void groups() {
        for (const SampleGroup& g : SampleGroups()) {
            UserRow u;
            u.Username = g.name;
            u.FullName = g.fullName;
            u.IsGroup = true;
            u.ActiveStatus = UserStatus::Active;
            u.GroupOptions = g.groupOptions;
            u.IdBillingPlan = billingPlan(g.billingPlan);
            u.IdInvoicePlan = invoicePlan(g.invoicePlan);
            u.IdBPOverride = billingPlan(g.overrideBillingPlan);
            u.IdIPOverride = invoicePlan(g.overrideInvoicePlan);
            u.StartDate = DbFromDate(2021, 1, 1);
            u.GotFirstInvoice = true;
            u.Comment = g.comment;
            const qint32 id = insertRecord<CUserRecord>(m_db, u);
            m_groups.insert(g.name, id);
            addAddressAndPhones(id, g.address1, QString(), g.city, g.province, g.postalCode,
                                g.email, g.phone, QString());
            if (!g.parent.isEmpty())
                join(g.parent, id);
        }
    }

    void customers() {
        const qint32 ipCharge = charge(QStringLiteral("Static IP address"));
        for (const SampleCustomer& c : SampleCustomers()) {
            UserRow u;
            u.Username = c.username;
            u.FullName = c.fullName;
            u.CreditCard = c.creditCard;
            u.ExpiryDate = c.ccExpiry;
            u.CCCompany = c.ccCompany;
            u.CCNameOnCard = c.ccNameOnCard;
            u.ActiveStatus = UserStatus::Active;
            u.StartDate = DbFromLocal(c.startDate);
            if (c.endDate.isValid())
                u.EndDate = DbFromLocal(c.endDate);
            u.IdBillingPlan = billingPlan(c.billingPlan);
            u.IdInvoicePlan = invoicePlan(c.invoicePlan);
            u.GotFirstInvoice = c.gotFirstInvoice;
            u.AnniversaryDay = c.anniversaryDay;
            u.Options = c.options;
            u.Comment = c.comment;
            const qint32 id = insertRecord<CUserRecord>(m_db, u);
            addAddressAndPhones(id, c.address1, c.address2, c.city, c.province, c.postalCode,
                                c.email, c.phone, c.phone2);
            if (c.staticIps > 0) {
                FixedUnitsJoinRow units;
                units.IdUser = id;
                units.IdCharge = ipCharge;
                units.NumUnits = c.staticIps;
                insertRecord<CFixedUnitsJoin>(m_db, units);
            }
            if (!c.group.isEmpty())
                join(c.group, id);
        }
    }

    Database& m_db;
    QString m_logo;
    QHash<QString, qint32> m_charges;
    QHash<QString, qint32> m_plans;
    QHash<QString, qint32> m_invoicePlans;
    QHash<QString, qint32> m_groups;
};

} // namespace

QString SampleLogoPath(const QString& databasePath) {
    const QFileInfo fi(databasePath);
    return fi.absolutePath() + QLatin1Char('/') + fi.completeBaseName() +
           QStringLiteral(".logo.jpg");
}

bool DrawSampleLogo(const QString& path, QString* error) {
    QImage image(240, 80, QImage::Format_RGB32);
    image.fill(QColor(255, 255, 255));
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        // Sea and sky: a teal disc with two waves.
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 118, 128));
        p.drawEllipse(QRectF(8, 8, 64, 64));
        p.setPen(QPen(QColor(255, 255, 255), 3, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        for (int i = 0; i < 2; ++i) {
            QPainterPath wave;
            const double y = 50 + i * 9;
            wave.moveTo(16, y);
            wave.cubicTo(26, y - 6, 34, y + 6, 44, y);
            wave.cubicTo(54, y - 6, 60, y + 4, 66, y);
            p.drawPath(wave);
        }
        // The kestrel: two swept wings over the water.
        QPainterPath bird;
        bird.moveTo(22, 30);
        bird.quadTo(32, 22, 40, 34);
        bird.quadTo(48, 20, 60, 26);
        bird.quadTo(48, 26, 40, 40);
        bird.quadTo(34, 28, 22, 30);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(244, 162, 40));
        p.drawPath(bird);
        // A name plate of three bars standing in for the lettering.
        const QColor bars[] = {QColor(0, 118, 128), QColor(0, 86, 94), QColor(244, 162, 40)};
        for (int i = 0; i < 3; ++i) {
            p.setBrush(bars[i]);
            p.drawRoundedRect(QRectF(84, 18 + i * 16, 148 - i * 34, 10), 4, 4);
        }
    }
    QImageWriter writer(path, "jpeg");
    writer.setQuality(90);
    if (!writer.write(image)) {
        if (error)
            *error = writer.errorString();
        QFile::remove(path);
        return false;
    }
    return true;
}

SampleDatabaseResult CreateSampleDatabase(const QString& path,
                                          const SampleDatabaseOptions& options) {
    SampleDatabaseResult result;
    const QString target = QFileInfo(path).absoluteFilePath();
    // Held until the new file is in place: a file another process has open is never
    // replaced, and nobody opens it while it is.
    std::shared_ptr<DatabaseHold> hold;
    try {
        hold = DatabaseHold::acquire(target);
    } catch (const DbException& e) {
        result.error = e.message();
        return result;
    }
    if (QFileInfo::exists(target) && !options.replace) {
        result.error = QStringLiteral("%1 already exists.").arg(QDir::toNativeSeparators(target));
        return result;
    }
    const QString scratch = target + QStringLiteral(".part");
    if (QFileInfo::exists(scratch) && !QFile::remove(scratch)) {
        result.error = QStringLiteral("Unable to remove the unfinished file %1.")
                           .arg(QDir::toNativeSeparators(scratch));
        return result;
    }
    const QString logo = SampleLogoPath(target);
    try {
        CreateNewDatabase(scratch);
        Database db;
        db.open(scratch, Database::OpenMode::Exclusive);
        {
            Transaction transaction(db);
            SampleBuilder(db, logo).build();
            transaction.commit();
        }
        db.close();
    } catch (const DbException& e) {
        QFile::remove(scratch);
        result.error = e.message();
        return result;
    }
    QString logoError;
    if (!DrawSampleLogo(logo, &logoError)) {
        QFile::remove(scratch);
        result.error = QStringLiteral("Unable to write the logo %1: %2")
                           .arg(QDir::toNativeSeparators(logo), logoError);
        return result;
    }
    // Moved into place in one step: an existing file is replaced only by a complete one.
    std::error_code ec;
    std::filesystem::rename(QFile::encodeName(scratch).toStdString(),
                            QFile::encodeName(target).toStdString(), ec);
    if (ec) {
        QFile::remove(scratch);
        result.error = QStringLiteral("Unable to move the new database to %1: %2")
                           .arg(QDir::toNativeSeparators(target),
                                QString::fromLocal8Bit(ec.message().c_str()));
        return result;
    }
    result.ok = true;
    result.logoPath = logo;
    return result;
}
