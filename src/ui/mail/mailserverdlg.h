#pragma once
#include "core/mail/smtpsettings.h"

#include <QDialog>

class QComboBox;
class QLineEdit;

// "Mail Server": how invoices reach the mail server (security, user name, password, CA file)
// and a test message sent with the values as they stand in the dialog, before they are kept.
// OK checks and stores them; a refused value keeps the dialog open with the reason.
class CMailServerDlg : public QDialog {
    Q_OBJECT
public:
    explicit CMailServerDlg(QWidget* parent = nullptr);

    // The values as entered.
    SmtpSettings settings() const;
    // Sends the test message with the entered values; true when the server took it.
    bool sendTestMessage();

    void accept() override;

private:
    void browseCaFile();

    QComboBox* m_security;
    QLineEdit* m_user;
    QLineEdit* m_password;
    QLineEdit* m_caFile;
    QLineEdit* m_server;
    QLineEdit* m_from;
    QLineEdit* m_to;
};
