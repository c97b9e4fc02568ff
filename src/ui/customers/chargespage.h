#pragma once
#include "core/customers/customerpages.h"
#include "ui/customers/userpage.h"

#include <QList>
#include <QMap>

class QComboBox;
class QLabel;
class QSpinBox;

// "Charges": the customer's unit counts of the per-customer fixed charges of its billing
// plan. Counts edited for several charges are kept until the page is applied; a count equal
// to the charge's default is not stored.
class CChargesPage : public CUserPage {
    Q_OBJECT
public:
    explicit CChargesPage(QWidget* parent = nullptr);

protected:
    void loadFields(Database& db, qint32 id) override;
    EditResult saveFields(Database& db, qint32 id) override;

private:
    void chargeChosen(int index);

    QList<UnitCount> m_counts; // as loaded, in list order
    QMap<qint32, int> m_edits; // charge id -> units, not yet saved
    int m_shown = -1;          // index of the charge shown
    QComboBox* m_chargeBox;
    QSpinBox* m_units;
    QLabel* m_unitName;
    QLabel* m_noPlan;
};
