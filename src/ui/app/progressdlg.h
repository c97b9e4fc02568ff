#pragma once
#include <QDialog>

class QLabel;
class CGuiUserInterface;

// The small modeless box shown while an operation runs without the status-bar form:
// no caption, an icon and one text line. Esc (cancel) and close attempts are passed on to the
// user interface as interrupt requests; the dialog itself never closes on them.
class CProgressDlg : public QDialog {
    Q_OBJECT
public:
    CProgressDlg(QWidget* parent, CGuiUserInterface* owner, int flags);

    void setText(const QString& text);
    QString text() const;

    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    CGuiUserInterface* m_owner;
    int m_flags;
    QLabel* m_text;
};
