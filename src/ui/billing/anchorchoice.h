#pragma once
#include <QGroupBox>

class QButtonGroup;
class QLineEdit;

// "Starting at": the billing start date, the customer's anniversary day, the customer's start
// date or another date (LimitAnchor), shared by the Frequency and Overtime pages.
class CAnchorChoice : public QGroupBox {
    Q_OBJECT
public:
    CAnchorChoice(int anchor, const QString& otherDate, QWidget* parent = nullptr);
    int anchor() const;
    QString otherDate() const;
    QLineEdit* otherDateEdit() const { return m_other; }
    // With false, only the billing start date can be chosen (and is).
    void allowChoice(bool allow);

private:
    void updateOther();

    QButtonGroup* m_group;
    QLineEdit* m_other;
};
