#pragma once
#include <QStandardItemModel>

class Database;

// What a node of the billing plans tree stands for.
enum class BillingNode {
    BillingPlansRoot,
    ChargesRoot,
    InvoicePlansRoot,
    BillingPlan,
    Charge,     // a template charge under the charges root
    PlanCharge, // a charge held by the billing plan above it
    InvoicePlan,
};

// The document of the billing plans browser: the template billing plans (each with its
// charges in priority order), the template charges and the template invoicing plans as a
// tree under three roots. Frozen invoice copies are never part of it. Each item keeps the
// kind and Id of its row.
class CBillingTreeDoc : public QStandardItemModel {
    Q_OBJECT
public:
    enum Role {
        NodeRole = Qt::UserRole + 1, // BillingNode
        IdRole,                      // the row's Id (0 for a root)
        ChargeTypeRole,              // Charges.Type of a charge node
    };

    explicit CBillingTreeDoc(QObject* parent = nullptr);

    // Reads the tree again from the database; throws DbException (the tree then stays as it
    // was).
    void reload(Database& db);

    static BillingNode nodeOf(const QModelIndex& index);
    static qint32 idOf(const QModelIndex& index);
    static qint32 chargeTypeOf(const QModelIndex& index);
    // The Id of the billing plan a plan charge belongs to (0 for any other node).
    static qint32 planIdOf(const QModelIndex& index);

    QModelIndex root(BillingNode root) const;
    // The first item of that kind and Id (under the plan planId for a plan charge).
    QModelIndex find(BillingNode node, qint32 id, qint32 planId = 0) const;

private:
    QStandardItem* addRoot(const QString& text, BillingNode node);

    QStandardItem* m_plans = nullptr;
    QStandardItem* m_charges = nullptr;
    QStandardItem* m_invoicePlans = nullptr;
};
