#include "ui/reports/icvexportdlg.h"

#include "core/app/dbsession.h"
#include "core/app/settingsvalues.h"
#include "core/app/userinterface.h"
#include "core/db/datetimeutil.h"
#include "ui/app/datefield.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {

QString rememberedDate(int id) {
    const qint32 seconds = RegNumber(id);
    if (seconds == 0)
        return QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat);
    return FormatLocalDateTime(SecondsToDateTime(seconds));
}

} // namespace

QLineEdit* CIcvExportDlg::addEdit(QFormLayout* form, const QString& label, const char* name,
                                  const QString& text, int maxLength) {
    auto* edit = new QLineEdit(text);
    edit->setObjectName(QString::fromLatin1(name));
    if (maxLength > 0)
        edit->setMaxLength(maxLength);
    form->addRow(label, edit);
    return edit;
}

CIcvExportDlg::CIcvExportDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("IcvExportDlg"));
    setWindowTitle(QStringLiteral("Export for ICVerify"));
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(QStringLiteral(
        "This will generate a comma-delimited file which you can use with ICVerify.  A "
        "transaction will be generated for every invoice whose billing period closing date "
        "is between the dates you enter below."));
    intro->setWordWrap(true);
    layout->addWidget(intro);
    auto* form = new QFormLayout;
    layout->addLayout(form);
    m_start = addEdit(form, QStringLiteral("&Greater than or equal to:"), "StartEdit",
                      rememberedDate(Reg::ICVDateStarting), 0);
    m_end = addEdit(form, QStringLiteral("and &less than:"), "EndEdit",
                    rememberedDate(Reg::ICVDateEnding), 0);
    m_useLogon = new QRadioButton(QStringLiteral("Use customer logon &ID"));
    m_useLogon->setObjectName(QStringLiteral("UseLogon"));
    m_useText = new QRadioButton(QStringLiteral("Use &text:"));
    m_useText->setObjectName(QStringLiteral("UseText"));
    m_comment = new QLineEdit(RegText(Reg::ICVComment));
    m_comment->setObjectName(QStringLiteral("CommentEdit"));
    m_comment->setMaxLength(kIcvCommentMax);
    form->addRow(m_useLogon);
    form->addRow(m_useText, m_comment);
    connect(m_useText, &QRadioButton::toggled, m_comment, &QWidget::setEnabled);
    const bool logon = RegNumber(Reg::ICVCommentUseLogon) == 0;
    (logon ? m_useLogon : m_useText)->setChecked(true);
    m_comment->setEnabled(!logon);
    m_clerk = addEdit(form, QStringLiteral("Cl&erk:"), "ClerkEdit", RegText(Reg::ICVClerkText),
                      kIcvClerkMax);
    m_zip = addEdit(form, QStringLiteral("&Postal code (optional):"), "ZipEdit",
                    RegText(Reg::ICVZipcode), kIcvPostalCodeMax);
    m_address = addEdit(form, QStringLiteral("&Address (optional):"), "AddressEdit",
                        RegText(Reg::ICVAddress), kIcvAddressMax);

    auto* folderRow = new QHBoxLayout;
    m_folder = new QLineEdit(RegText(Reg::ICVFolder, QDir::currentPath()));
    m_folder->setObjectName(QStringLiteral("FolderEdit"));
    auto* browse = new QPushButton(QStringLiteral("&Browse..."));
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString dir =
            QFileDialog::getExistingDirectory(this, QStringLiteral("Folder"), m_folder->text());
        if (!dir.isEmpty())
            m_folder->setText(QDir::toNativeSeparators(dir));
    });
    folderRow->addWidget(m_folder);
    folderRow->addWidget(browse);
    form->addRow(QStringLiteral("&Folder:"), folderRow);

    auto* buttons = new QDialogButtonBox;
    buttons->addButton(QStringLiteral("E&xport"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

QString CIcvExportDlg::filePath() const {
    return QDir(QDir::fromNativeSeparators(m_folder->text()))
        .absoluteFilePath(QString::fromLatin1(kIcvFileName));
}

void CIcvExportDlg::accept() {
    const QDateTime start = ReadDateField(m_start);
    if (!start.isValid())
        return;
    const QDateTime end = ReadDateField(m_end);
    if (!end.isValid())
        return;
    IcvExportOptions o{start,           end,           m_useLogon->isChecked(), m_comment->text(),
                       m_clerk->text(), m_zip->text(), m_address->text()};
    // The fields are written in quotes and never escaped: a quote or a line break would
    // split the line and the payment program would charge the wrong amounts.
    const QString breaking = IcvOptionBreakingLine(o);
    if (!breaking.isEmpty()) {
        ui().showMessage(
            QStringLiteral("%1 must not hold a double quote or a line break.").arg(breaking),
            MessageIcon::Exclamation);
        QLineEdit* edit = breaking == QStringLiteral("Clerk")         ? m_clerk
                          : breaking == QStringLiteral("Postal code") ? m_zip
                          : breaking == QStringLiteral("Address")     ? m_address
                                                                      : m_comment;
        edit->setFocus();
        return;
    }
    m_options = o;
    bool stored = RegWriteNumber(Reg::ICVDateStarting, qint32(start.toSecsSinceEpoch()));
    stored = RegWriteNumber(Reg::ICVDateEnding, qint32(end.toSecsSinceEpoch())) && stored;
    stored = RegWriteNumber(Reg::ICVCommentUseLogon, o.commentUsesLogon ? 0 : 1) && stored;
    stored = RegWriteText(Reg::ICVComment, o.comment) && stored;
    stored = RegWriteText(Reg::ICVClerkText, o.clerk) && stored;
    stored = RegWriteText(Reg::ICVAddress, o.address) && stored;
    stored = RegWriteText(Reg::ICVZipcode, o.postalCode) && stored;
    stored = RegWriteText(Reg::ICVFolder, m_folder->text()) && stored;
    if (!stored)
        qWarning("Unable to store the ICVerify export's settings");
    QDialog::accept();
}

void RunIcvExport(QWidget* parent) {
    CIcvExportDlg dlg(parent);
    if (dlg.exec() != QDialog::Accepted)
        return;
    Database* db = theDatabase();
    if (!db) {
        ui().showMessage(QStringLiteral("The ICVerify export process was unable to complete"),
                         MessageIcon::Exclamation);
        return;
    }
    IcvExportResult r;
    {
        CWaitCursor wait;
        r = ExportIcverify(*db, dlg.options(), dlg.filePath());
    }
    if (r.failed) {
        ui().showMessage(
            QStringLiteral("The ICVerify export process was unable to complete\n\n%1").arg(r.error),
            MessageIcon::Exclamation);
        return;
    }
    QString text =
        QStringLiteral("The ICVerify export process is complete.\nSee exported data in %1")
            .arg(QDir::toNativeSeparators(r.path));
    if (!r.skipped.isEmpty())
        text += QStringLiteral("\n\n%1 invoice(s) were left out; see the operation log.")
                    .arg(r.skipped.size());
    ui().showMessage(text, MessageIcon::Information);
}
