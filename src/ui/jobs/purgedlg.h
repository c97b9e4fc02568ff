#pragma once
#include <QDate>
#include <QDialog>

class QCheckBox;
class QSpinBox;

// "Purge old records": which records go (sessions, paid invoices) and the day up to which,
// entered as month, day and four-digit year. "&Purge..." runs the purge with its question and
// the compact that follows, and closes the dialog once that is done.
class CPurgeDlg : public QDialog {
    Q_OBJECT
public:
    explicit CPurgeDlg(QWidget* parent = nullptr);

    // The chosen kinds (PurgeKind bits) and day; the day is invalid when the fields name none.
    int kinds() const;
    QDate upTo() const;

    void purge();

private:
    QCheckBox* m_sessions;
    QCheckBox* m_invoices;
    QSpinBox* m_month;
    QSpinBox* m_day;
    QSpinBox* m_year;
};
