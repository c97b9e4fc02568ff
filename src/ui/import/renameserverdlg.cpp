#include "ui/import/renameserverdlg.h"

#include "core/import/importcodes.h"
#include "core/import/importdialogmodel.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

CRenameServerDlg::CRenameServerDlg(CImportDialogModel& model, qint32 serverId,
                                   const QString& currentName, QWidget* parent)
    : QDialog(parent), m_model(model), m_serverId(serverId) {
    setObjectName(QStringLiteral("RenameServerDlg"));
    setWindowTitle(QStringLiteral("Rename Server"));
    auto* layout = new QVBoxLayout(this);
    // The name is shown as it stands, not as a mnemonic.
    QString shown = currentName;
    shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
    auto* label = new QLabel(QStringLiteral("&Rename '%1' to:").arg(shown));
    m_nameEdit = new QLineEdit;
    m_nameEdit->setObjectName(QStringLiteral("NameEdit"));
    label->setBuddy(m_nameEdit);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(label);
    layout->addWidget(m_nameEdit);
    layout->addWidget(buttons);
}

void CRenameServerDlg::accept() {
    if (m_model.renameServer(m_serverId, m_nameEdit->text()) != IMPORT_OK) {
        m_nameEdit->setFocus();
        return;
    }
    QDialog::accept();
}
