#pragma once
#include <QDateTime>
#include <QDialog>

class QLineEdit;

// "Income Report": the period of the income report, start included and end excluded, with
// the dates remembered from the last time.
class CIncomeReportDlg : public QDialog {
    Q_OBJECT
public:
    explicit CIncomeReportDlg(QWidget* parent = nullptr);

    QDateTime start() const { return m_start; }
    QDateTime end() const { return m_end; }
    QString startText() const;
    QString endText() const;

    void accept() override;

private:
    QLineEdit* m_startEdit;
    QLineEdit* m_endEdit;
    QDateTime m_start;
    QDateTime m_end;
};
