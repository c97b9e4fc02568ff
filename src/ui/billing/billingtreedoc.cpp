#include "ui/billing/billingtreedoc.h"

#include "core/billing/plancatalog.h"

namespace {

QStandardItem* makeItem(const QString& name, BillingNode node, qint32 id, qint32 type = 0) {
    auto* item = new QStandardItem(name);
    item->setEditable(false);
    item->setData(int(node), CBillingTreeDoc::NodeRole);
    item->setData(id, CBillingTreeDoc::IdRole);
    item->setData(type, CBillingTreeDoc::ChargeTypeRole);
    return item;
}

} // namespace

CBillingTreeDoc::CBillingTreeDoc(QObject* parent) : QStandardItemModel(parent) {
    m_plans = addRoot(QStringLiteral("Billing Plans"), BillingNode::BillingPlansRoot);
    m_charges = addRoot(QStringLiteral("Charges"), BillingNode::ChargesRoot);
    m_invoicePlans = addRoot(QStringLiteral("Invoicing Plans"), BillingNode::InvoicePlansRoot);
}

QStandardItem* CBillingTreeDoc::addRoot(const QString& text, BillingNode node) {
    QStandardItem* item = makeItem(text, node, 0);
    appendRow(item);
    return item;
}

void CBillingTreeDoc::reload(Database& db) {
    // Everything is read before the tree changes, so a failure leaves it as it was.
    const QList<TemplateEntry> plans = TemplateBillingPlans(db);
    QList<QList<TemplateEntry>> planCharges;
    for (const TemplateEntry& plan : plans)
        planCharges.append(PlanChargeEntries(db, plan.id)); // in the order they are rated
    const QList<TemplateEntry> charges = TemplateCharges(db);
    const QList<TemplateEntry> invoicePlans = TemplateInvoicingPlans(db);

    for (QStandardItem* root : {m_plans, m_charges, m_invoicePlans})
        root->removeRows(0, root->rowCount());
    for (qsizetype i = 0; i < plans.size(); ++i) {
        QStandardItem* item = makeItem(plans[i].name, BillingNode::BillingPlan, plans[i].id);
        m_plans->appendRow(item);
        for (const TemplateEntry& charge : planCharges[i])
            item->appendRow(makeItem(charge.name, BillingNode::PlanCharge, charge.id, charge.type));
    }
    for (const TemplateEntry& charge : charges)
        m_charges->appendRow(makeItem(charge.name, BillingNode::Charge, charge.id, charge.type));
    for (const TemplateEntry& plan : invoicePlans)
        m_invoicePlans->appendRow(makeItem(plan.name, BillingNode::InvoicePlan, plan.id));
}

BillingNode CBillingTreeDoc::nodeOf(const QModelIndex& index) {
    return BillingNode(index.data(NodeRole).toInt());
}

qint32 CBillingTreeDoc::idOf(const QModelIndex& index) {
    return index.data(IdRole).toInt();
}

qint32 CBillingTreeDoc::chargeTypeOf(const QModelIndex& index) {
    return index.data(ChargeTypeRole).toInt();
}

qint32 CBillingTreeDoc::planIdOf(const QModelIndex& index) {
    return nodeOf(index) == BillingNode::PlanCharge ? idOf(index.parent()) : 0;
}

QModelIndex CBillingTreeDoc::root(BillingNode root) const {
    switch (root) {
    case BillingNode::ChargesRoot:
        return m_charges->index();
    case BillingNode::InvoicePlansRoot:
        return m_invoicePlans->index();
    default:
        return m_plans->index();
    }
}

QModelIndex CBillingTreeDoc::find(BillingNode node, qint32 id, qint32 planId) const {
    QStandardItem* parent = nullptr;
    switch (node) {
    case BillingNode::BillingPlansRoot:
    case BillingNode::ChargesRoot:
    case BillingNode::InvoicePlansRoot:
        return root(node);
    case BillingNode::BillingPlan:
        parent = m_plans;
        break;
    case BillingNode::Charge:
        parent = m_charges;
        break;
    case BillingNode::InvoicePlan:
        parent = m_invoicePlans;
        break;
    case BillingNode::PlanCharge:
        parent = itemFromIndex(find(BillingNode::BillingPlan, planId));
        break;
    }
    for (int row = 0; parent && row < parent->rowCount(); ++row) {
        if (parent->child(row)->data(IdRole).toInt() == id)
            return parent->child(row)->index();
    }
    return {};
}
