#include "ui/import/importeventsdlg.h"

#include "core/app/userinterface.h"
#include "core/import/importcodes.h"
#include "ui/import/renameserverdlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

QPushButton* browseButton(const char* name) {
    auto* b = new QPushButton(QStringLiteral("..."));
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

template <class W> W* named(W* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

} // namespace

CImportEventsDlg::CImportEventsDlg(Database& db, QWidget* parent)
    : QDialog(parent), m_model(db), m_request(CImportDialogModel::load()) {
    setObjectName(QStringLiteral("ImportEventsDlg"));
    setWindowTitle(QStringLiteral("Import Logon Events"));
    CImportDialogModel::applySystem(m_request);

    m_system = named(new QComboBox, "SystemCombo");
    m_system->addItems({QStringLiteral("Remote Access (RAS and R-RAS)"), QStringLiteral("Radius"),
                        QStringLiteral("Citrix/LAN"), QStringLiteral("UNet Radius TACACS"),
                        QStringLiteral("Telebit")});
    m_system->setCurrentIndex(m_request.authSystem);
    m_server = named(new QComboBox, "ServerCombo");
    m_server->setEditable(true);
    m_server->setInsertPolicy(QComboBox::NoInsert);
    m_rename = named(new QPushButton(QStringLiteral("&Rename...")), "RenameButton");
    m_delete = named(new QPushButton(QStringLiteral("&Delete...")), "DeleteButton");
    for (QPushButton* b : {m_rename, m_delete})
        b->setAutoDefault(false);
    m_useFile = named(new QCheckBox(QStringLiteral("Read events from &file:")), "UseFileCheck");
    m_useFile->setChecked(m_request.readFromFile);
    m_logFile = named(new QLineEdit(m_request.logFile), "LogFileEdit");
    m_logBrowse = browseButton("LogFileBrowse");
    m_useNew = named(new QCheckBox(QStringLiteral("Start with first &logoff on:")), "UseNewCheck");
    m_useNew->setChecked(m_request.startWithFirstLogoff);
    m_startDate = named(new QLineEdit(m_request.startDateText), "StartDateEdit");
    m_prefixes = named(new QCheckBox(QStringLiteral("Remove username &prefixes")), "PrefixesCheck");
    m_prefixes->setChecked(m_request.stripPrefixes);
    m_addUsers = named(new QCheckBox(QStringLiteral("Setup &new customers")), "AddUsersCheck");
    m_addUsers->setChecked(m_request.setupNewCustomers);
    m_clear = named(new QCheckBox(QStringLiteral("&Clear event log")), "ClearCheck");
    m_clear->setChecked(m_request.clearLog);
    m_backup = named(new QCheckBox(QStringLiteral("&Backup event log to file:")), "BackupCheck");
    m_backup->setChecked(m_request.backupLog);
    m_backupFile = named(new QLineEdit(m_request.backupFile), "BackupFileEdit");
    m_backupBrowse = browseButton("BackupFileBrowse");

    auto* grid = new QGridLayout(this);
    auto* systemLabel = new QLabel(QStringLiteral("Your &authentication system:"));
    systemLabel->setBuddy(m_system);
    auto* serverLabel = new QLabel(QStringLiteral("Authentication &server host name:"));
    serverLabel->setBuddy(m_server);
    int row = 0;
    grid->addWidget(systemLabel, row, 0);
    grid->addWidget(m_system, row++, 1, 1, 3);
    grid->addWidget(serverLabel, row, 0);
    grid->addWidget(m_server, row, 1);
    grid->addWidget(m_rename, row, 2);
    grid->addWidget(m_delete, row++, 3);
    grid->addWidget(m_useFile, row, 0);
    grid->addWidget(m_logFile, row, 1, 1, 2);
    grid->addWidget(m_logBrowse, row++, 3);
    grid->addWidget(m_useNew, row, 0);
    grid->addWidget(m_startDate, row++, 1, 1, 3);
    grid->addWidget(m_prefixes, row++, 0, 1, 4);
    grid->addWidget(m_addUsers, row++, 0, 1, 4);
    grid->addWidget(m_clear, row++, 0, 1, 4);
    grid->addWidget(m_backup, row, 0);
    grid->addWidget(m_backupFile, row, 1, 1, 2);
    grid->addWidget(m_backupBrowse, row++, 3);
    auto* note = new QLabel(QStringLiteral(
        "You must specify a log file name for Radius systems.  This is optional with other "
        "systems."));
    note->setWordWrap(true);
    grid->addWidget(note, row++, 0, 1, 4);
    auto* buttons = new QDialogButtonBox;
    QPushButton* import =
        buttons->addButton(QStringLiteral("&Import"), QDialogButtonBox::AcceptRole);
    import->setObjectName(QStringLiteral("ImportButton"));
    import->setDefault(true);
    buttons->addButton(QStringLiteral("Close"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    grid->addWidget(buttons, row, 0, 1, 4);

    (void)m_model.loadServers(); // a failure was shown; the list stays empty
    m_server->setEditText(m_request.serverName);
    fillServers(0);

    connect(m_system, &QComboBox::currentIndexChanged, this, &CImportEventsDlg::systemChanged);
    connect(m_useFile, &QCheckBox::toggled, this, &CImportEventsDlg::updateFileControls);
    connect(m_backup, &QCheckBox::toggled, this, &CImportEventsDlg::updateFileControls);
    connect(m_server, &QComboBox::editTextChanged, this, &CImportEventsDlg::updateServerButtons);
    connect(m_rename, &QPushButton::clicked, this, &CImportEventsDlg::renameServer);
    connect(m_delete, &QPushButton::clicked, this, &CImportEventsDlg::deleteServer);
    connect(m_logBrowse, &QPushButton::clicked, this, [this] {
        const QString file = ui().chooseOpenFile(
            QStringLiteral("Alternate Event Log File"),
            QStringLiteral("Event Log Files (*.evt);;All Files (*)"), m_logFile->text());
        if (!file.isEmpty())
            m_logFile->setText(file);
    });
    connect(m_backupBrowse, &QPushButton::clicked, this, [this] {
        const QString file =
            ui().chooseSaveFile(QStringLiteral("Event Log Backup File"),
                                QStringLiteral("All Files (*)"), m_backupFile->text());
        if (!file.isEmpty())
            m_backupFile->setText(file);
    });
    systemChanged();
}

void CImportEventsDlg::fillServers(qint32 selectId) {
    const QString typed = m_server->currentText();
    const QSignalBlocker block(m_server);
    m_server->clear();
    for (const ServerRow& s : m_model.servers())
        m_server->addItem(s.ServerName, s.Id);
    const int selected = selectId != 0 ? m_server->findData(selectId) : -1;
    if (selected >= 0) {
        m_server->setCurrentIndex(selected);
    } else if (const auto known = m_model.findServer(typed)) {
        m_server->setCurrentIndex(m_server->findData(known->Id));
    } else {
        m_server->setCurrentIndex(-1);
        m_server->setEditText(typed);
    }
    updateServerButtons();
}

void CImportEventsDlg::systemChanged() {
    EventLogImportRequest r = request();
    CImportDialogModel::applySystem(r);
    const bool eventLog = CImportDialogModel::isEventLogSystem(r.authSystem);
    const bool prefixes = CImportDialogModel::offersPrefixes(r.authSystem);
    m_clear->setChecked(r.clearLog);
    m_useNew->setChecked(r.startWithFirstLogoff);
    m_backup->setChecked(r.backupLog);
    m_prefixes->setChecked(r.stripPrefixes);
    for (QWidget* w : {static_cast<QWidget*>(m_clear), static_cast<QWidget*>(m_useNew),
                       static_cast<QWidget*>(m_startDate), static_cast<QWidget*>(m_backup)})
        w->setEnabled(eventLog);
    m_prefixes->setEnabled(prefixes);
    updateFileControls();
}

void CImportEventsDlg::updateFileControls() {
    m_logFile->setEnabled(m_useFile->isChecked());
    m_logBrowse->setEnabled(m_useFile->isChecked());
    const bool backup = m_backup->isChecked() && m_backup->isEnabled();
    m_backupFile->setEnabled(backup);
    m_backupBrowse->setEnabled(backup);
}

qint32 CImportEventsDlg::chosenServerId() const {
    const auto known = m_model.findServer(m_server->currentText());
    return known ? known->Id : 0;
}

void CImportEventsDlg::updateServerButtons() {
    const bool listed = chosenServerId() != 0;
    m_rename->setEnabled(listed);
    m_delete->setEnabled(listed);
}

void CImportEventsDlg::renameServer() {
    const auto known = m_model.findServer(m_server->currentText());
    if (!known)
        return;
    CRenameServerDlg dlg(m_model, known->Id, known->ServerName, this);
    if (dlg.exec() == QDialog::Accepted)
        fillServers(known->Id);
}

void CImportEventsDlg::deleteServer() {
    const auto known = m_model.findServer(m_server->currentText());
    if (!known || m_model.deleteServer(known->Id) != IMPORT_OK)
        return;
    m_server->setEditText(QString());
    fillServers(0);
}

EventLogImportRequest CImportEventsDlg::request() const {
    if (m_checked)
        return m_request;
    EventLogImportRequest r = m_request;
    r.authSystem = m_system->currentIndex();
    r.serverName = m_server->currentText();
    r.serverId = chosenServerId();
    r.readFromFile = m_useFile->isChecked();
    r.logFile = m_logFile->text().trimmed();
    r.startWithFirstLogoff = m_useNew->isChecked();
    r.startDateText = m_startDate->text().trimmed();
    r.stripPrefixes = m_prefixes->isChecked();
    r.setupNewCustomers = m_addUsers->isChecked();
    r.clearLog = m_clear->isChecked();
    r.backupLog = m_backup->isChecked();
    r.backupFile = m_backupFile->text().trimmed();
    return r;
}

void CImportEventsDlg::focus(CImportDialogModel::Field field) {
    using F = CImportDialogModel::Field;
    QWidget* target = nullptr;
    switch (field) {
    case F::System:
        target = m_system;
        break;
    case F::Server:
        target = m_server;
        break;
    case F::UseFile:
        target = m_useFile;
        break;
    case F::LogFile:
        target = m_logFile;
        break;
    case F::StartDate:
        target = m_startDate;
        break;
    case F::BackupFile:
        target = m_backupFile;
        break;
    case F::None:
        break;
    }
    if (target)
        target->setFocus();
}

void CImportEventsDlg::accept() {
    EventLogImportRequest r = request();
    const CImportDialogModel::Check check = m_model.check(r);
    if (!check.proceed) {
        focus(check.focus);
        if (check.focus == CImportDialogModel::Field::Server)
            fillServers(0); // a server added meanwhile is listed
        return;
    }
    m_request = r;
    m_checked = true;
    QDialog::accept();
}
