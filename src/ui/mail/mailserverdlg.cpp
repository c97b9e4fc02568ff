#include "ui/mail/mailserverdlg.h"

#include "core/app/dbsession.h"
#include "core/app/userinterface.h"
#include "core/db/database.h"
#include "core/db/dbexception.h"
#include "core/mail/testmessage.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
// The first template invoicing plan's server and sender, a reasonable start for the test.
void firstPlanServer(QString* server, QString* sender) {
    Database* db = theDatabase();
    if (!db)
        return;
    try {
        Statement st = db->prepare(QStringLiteral(
            "SELECT EmailServer, EmailSender FROM InvoicePlans WHERE IdInvoice = 0 AND "
            "EmailServer <> '' ORDER BY Id LIMIT 1"));
        if (st.next()) {
            *server = st.value(0).toString();
            *sender = st.value(1).toString();
        }
    } catch (const DbException&) {
        // Only a suggestion: the fields stay empty.
    }
}

QLineEdit* edit(const char* name, const QString& text, int maxLength = 255) {
    auto* e = new QLineEdit(text);
    e->setObjectName(QString::fromLatin1(name));
    e->setMaxLength(maxLength);
    return e;
}
} // namespace

CMailServerDlg::CMailServerDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("MailServerDlg"));
    setWindowTitle(QStringLiteral("Mail Server"));
    const SmtpSettings s = ReadSmtpSettings();
    auto* layout = new QVBoxLayout(this);

    auto* connection = new QGroupBox(QStringLiteral("Connection"));
    auto* form = new QFormLayout(connection);
    m_security = new QComboBox;
    m_security->setObjectName(QStringLiteral("security"));
    m_security->addItem(QStringLiteral("None (port 25)"), int(SmtpSecurity::None));
    m_security->addItem(QStringLiteral("STARTTLS"), int(SmtpSecurity::StartTls));
    m_security->addItem(QStringLiteral("TLS (port 465)"), int(SmtpSecurity::Tls));
    m_security->setCurrentIndex(m_security->findData(int(s.security)));
    form->addRow(QStringLiteral("&Security:"), m_security);
    m_user = edit("user", s.user);
    form->addRow(QStringLiteral("&User name:"), m_user);
    m_password = edit("password", s.password);
    m_password->setEchoMode(QLineEdit::Password);
    form->addRow(QStringLiteral("&Password:"), m_password);
    m_caFile = edit("caFile", s.caFile, 1024);
    auto* browse = new QPushButton(QStringLiteral("&Browse..."));
    browse->setObjectName(QStringLiteral("browseCaFile"));
    connect(browse, &QPushButton::clicked, this, &CMailServerDlg::browseCaFile);
    auto* caRow = new QHBoxLayout;
    caRow->addWidget(m_caFile);
    caRow->addWidget(browse);
    form->addRow(QStringLiteral("&CA certificates:"), caRow);
    auto* note = new QLabel(QStringLiteral(
        "The mail server of each invoicing plan is named in the plan (host or host:port). "
        "The password is only ever sent over TLS."));
    note->setWordWrap(true);
    form->addRow(note);
    layout->addWidget(connection);

    auto* test = new QGroupBox(QStringLiteral("Test"));
    auto* testForm = new QFormLayout(test);
    QString server, sender;
    firstPlanServer(&server, &sender);
    m_server = edit("server", server);
    m_from = edit("from", sender);
    m_to = edit("to", QString());
    testForm->addRow(QStringLiteral("Mail &server:"), m_server);
    testForm->addRow(QStringLiteral("&From:"), m_from);
    testForm->addRow(QStringLiteral("&To:"), m_to);
    auto* send = new QPushButton(QStringLiteral("Send test message"));
    send->setObjectName(QStringLiteral("sendTest"));
    connect(send, &QPushButton::clicked, this, [this] { sendTestMessage(); });
    testForm->addRow(send);
    layout->addWidget(test);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &CMailServerDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

SmtpSettings CMailServerDlg::settings() const {
    SmtpSettings s;
    s.security = SmtpSecurity(m_security->currentData().toInt());
    s.user = m_user->text();
    s.password = m_password->text();
    s.caFile = m_caFile->text().trimmed();
    return s;
}

bool CMailServerDlg::sendTestMessage() {
    const SmtpSettings s = settings();
    if (const QString problem = SmtpSettingsProblem(s); !problem.isEmpty()) {
        ui().showMessage(problem, MessageIcon::Exclamation);
        return false;
    }
    SmtpTestMessage message;
    message.server = m_server->text().trimmed();
    message.sender = m_from->text().trimmed();
    message.recipient = m_to->text().trimmed();
    if (message.server.isEmpty() || message.sender.isEmpty() || message.recipient.isEmpty()) {
        ui().showMessage(QStringLiteral("Please enter the mail server, a sender and a recipient "
                                        "for the test message."),
                         MessageIcon::Exclamation);
        return false;
    }
    CWaitCursor wait;
    if (SendTestMessage(message, s))
        return false; // the client has shown and logged why
    ui().showMessage(QStringLiteral("The mail server accepted the test message."),
                     MessageIcon::Information);
    return true;
}

void CMailServerDlg::accept() {
    QString problem;
    if (!WriteSmtpSettings(settings(), &problem)) {
        ui().showMessage(problem, MessageIcon::Exclamation);
        return;
    }
    QDialog::accept();
}

void CMailServerDlg::browseCaFile() {
    const QString file = QFileDialog::getOpenFileName(
        this, QStringLiteral("CA Certificates"), m_caFile->text(),
        QStringLiteral("PEM certificates (*.pem *.crt);;All Files (*)"));
    if (!file.isEmpty())
        m_caFile->setText(file);
}
