#pragma once
#include "core/billing/planpages.h"
#include "ui/billing/propsheet.h"

class QListWidget;

// Apply page of a billing plan or of a charge: the taxes, surcharges and discounts that apply
// to it, as a checked list.
class CApplyPage : public CPropPage {
    Q_OBJECT
public:
    enum Owner { Plan, Charge };
    CApplyPage(Owner owner, qint32 id, const ApplyPage& page, QWidget* parent = nullptr);
    ApplyPage values() const;
    QListWidget* list() const { return m_list; }
    QString check(QWidget** focus) override;
    EditResult save(Database& db) override;

private:
    Owner m_owner;
    qint32 m_id;
    ApplyPage m_page;
    QListWidget* m_list;
};
