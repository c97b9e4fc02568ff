#pragma once
#include "core/import/eventlogimport.h"
#include "core/import/importdialogmodel.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

// "Import Logon Events": the authentication system, the server (with its "&Rename..." and
// "&Delete..." buttons), the log file, the start date and the options of the import. Import
// closes it with the request checked, confirmed and given its server id; the caller keeps the
// options and runs the import. Close changes nothing.
class CImportEventsDlg : public QDialog {
    Q_OBJECT
public:
    explicit CImportEventsDlg(Database& db, QWidget* parent = nullptr);
    // The state of the controls (after Import: checked, with the server's id).
    EventLogImportRequest request() const;
    void accept() override;

private:
    void fillServers(qint32 selectId);
    void systemChanged();
    void updateFileControls();
    void updateServerButtons();
    void renameServer();
    void deleteServer();
    // The listed server of the typed name; 0 when it is new.
    qint32 chosenServerId() const;
    void focus(CImportDialogModel::Field field);

    CImportDialogModel m_model;
    EventLogImportRequest m_request;
    bool m_checked = false; // Import passed: m_request is the checked request
    QComboBox* m_system;
    QComboBox* m_server;
    QPushButton* m_rename;
    QPushButton* m_delete;
    QCheckBox* m_useFile;
    QLineEdit* m_logFile;
    QPushButton* m_logBrowse;
    QCheckBox* m_useNew;
    QLineEdit* m_startDate;
    QCheckBox* m_prefixes;
    QCheckBox* m_addUsers;
    QCheckBox* m_clear;
    QCheckBox* m_backup;
    QLineEdit* m_backupFile;
    QPushButton* m_backupBrowse;
};
