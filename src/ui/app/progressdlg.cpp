#include "ui/app/progressdlg.h"

#include "core/app/busystate.h"
#include "ui/app/guiuserinterface.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>

CProgressDlg::CProgressDlg(QWidget* parent, CGuiUserInterface* owner, int flags)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint), m_owner(owner), m_flags(flags) {
    setObjectName(QStringLiteral("ProgressDialog"));
    setModal(false);
    auto* icon = new QLabel(this);
    const int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(size, size));
    m_text = new QLabel(
        QStringLiteral("Updating Tollkeeper database.  This may take a long time..."), this);
    m_text->setObjectName(QStringLiteral("ProgressText"));
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(icon);
    layout->addWidget(m_text, 1);
    setMinimumWidth(fontMetrics().averageCharWidth() * 255 / 4);
    setCursor(Qt::WaitCursor);
}

void CProgressDlg::setText(const QString& text) {
    m_text->setText(text);
}

QString CProgressDlg::text() const {
    return m_text->text();
}

void CProgressDlg::reject() {
    // Esc or the cancel command: an interrupt request, never a close.
    if ((m_flags & PROC_ESC_INTERRUPTS) && m_owner)
        m_owner->noteEscPressed();
}

void CProgressDlg::closeEvent(QCloseEvent* event) {
    event->ignore();
    if ((m_flags & PROC_CLOSE_INTERRUPTS) && m_owner)
        m_owner->noteCloseRequested();
}
