#include "ui/app/welcomedlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

CWelcomeDlg::CWelcomeDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("WelcomeDialog"));
    setWindowTitle(QStringLiteral("Welcome to Tollkeeper!"));

    auto* icon = new QLabel(this);
    const int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(size, size));
    auto* text = new QLabel(welcomeText(), this);
    text->setObjectName(QStringLiteral("WelcomeText"));
    text->setWordWrap(true);
    text->setMinimumWidth(320);

    m_sampleHelp = new QPushButton(QStringLiteral("Help on opening the &sample database..."), this);
    m_usingHelp = new QPushButton(QStringLiteral("Help on &using Tollkeeper..."), this);
    m_openSample = new QPushButton(QStringLiteral("&Open sample database"), this);
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setDefault(true);

    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addWidget(text, 1);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(m_sampleHelp);
    buttons->addWidget(m_usingHelp);
    buttons->addWidget(m_openSample);
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(buttons);

    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_openSample, &QPushButton::clicked, this, &CWelcomeDlg::openSampleRequested);
    connect(m_sampleHelp, &QPushButton::clicked, this, [this] {
        showHelpTopic(QStringLiteral(
            "To open the sample database, press 'Open sample database' in this window.  "
            "Tollkeeper then closes your database and opens the sample database, which holds "
            "example customers, plans and invoices to try the program with.  Use 'Set the "
            "location of the database' in the File menu to return to your own database."));
    });
    connect(m_usingHelp, &QPushButton::clicked, this, [this] {
        showHelpTopic(QStringLiteral(
            "Tollkeeper imports the sessions of your customers from accounting logs, computes "
            "their invoices from billing plans and charges, and prints or e-mails them.  "
            "Batch operations record their outcome in the operation log (File, View Logfile)."));
    });
}

QString CWelcomeDlg::welcomeText() {
    return QStringLiteral(
        "You may find it easier to learn about Tollkeeper by opening the sample database.  We "
        "highly recommend that you read the 'How to use Tollkeeper' help section for a quick "
        "review or for in-depth instructions.");
}

void CWelcomeDlg::showHelpTopic(const QString& topic) {
    QMessageBox::information(this, windowTitle(), topic);
}
