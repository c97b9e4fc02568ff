#pragma once
#include <QDialog>

class CImportDialogModel;
class QLineEdit;

// "Rename Server": a new name for a listed server, which keeps its id. Stays open after a
// refused or failed rename (the register said why).
class CRenameServerDlg : public QDialog {
    Q_OBJECT
public:
    CRenameServerDlg(CImportDialogModel& model, qint32 serverId, const QString& currentName,
                     QWidget* parent = nullptr);
    void accept() override;

private:
    CImportDialogModel& m_model;
    qint32 m_serverId;
    QLineEdit* m_nameEdit;
};
