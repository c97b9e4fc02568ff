#pragma once
#include <QDateTime>
#include <QDialog>

class QLineEdit;

// "Create Customer Records" for imported sessions: the starting date of the scan (last
// complete scan's, or 1 January 1996), checked on Yes.
class CCreateFromEventsDlg : public QDialog {
    Q_OBJECT
public:
    explicit CCreateFromEventsDlg(QWidget* parent = nullptr);
    QDateTime since() const { return m_since; }
    void accept() override;

private:
    QLineEdit* m_dateEdit;
    QDateTime m_since;
};

// Opens the dialog and, on Yes, creates the customers on the open database.
void RunCreateFromEvents(QWidget* parent);
