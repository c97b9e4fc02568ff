#include "ui/app/guiuserinterface.h"

#include "core/app/busystate.h"
#include "ui/app/progressdlg.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QStatusBar>

namespace {

QMessageBox::Icon boxIcon(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::None:
        return QMessageBox::NoIcon;
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::Exclamation:
        return QMessageBox::Warning;
    case MessageIcon::Stop:
        return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

// Collects every enabled action below a menu (the menus' own entries included).
void collectMenuActions(QMenu* menu, QList<QPointer<QAction>>& out) {
    for (QAction* a : menu->actions()) {
        if (a->isSeparator() || !a->isEnabled())
            continue;
        out.append(a);
        if (a->menu())
            collectMenuActions(a->menu(), out);
    }
}

} // namespace

CGuiUserInterface::CGuiUserInterface(QObject* parent) : QObject(parent) {}

CGuiUserInterface::~CGuiUserInterface() {
    if (qApp)
        qApp->removeEventFilter(this);
    while (m_waitCursorDepth > 0) {
        QApplication::restoreOverrideCursor();
        --m_waitCursorDepth;
    }
    delete m_dialog;
}

void CGuiUserInterface::setMainWindow(QMainWindow* frame) {
    m_frame = frame;
}

static QWidget* boxParent(QMainWindow* frame) {
    if (QWidget* active = QApplication::activeWindow())
        return active;
    return frame;
}

bool CGuiUserInterface::askYesNo(const QString& text, MessageIcon icon) {
    QMessageBox box(boxIcon(icon), QApplication::applicationDisplayName(), text,
                    QMessageBox::Yes | QMessageBox::No, boxParent(m_frame));
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

void CGuiUserInterface::showMessage(const QString& text, MessageIcon icon) {
    QMessageBox box(boxIcon(icon), QApplication::applicationDisplayName(), text, QMessageBox::Ok,
                    boxParent(m_frame));
    box.exec();
}

void CGuiUserInterface::setStatusText(const QString& text) {
    if (m_msgPane) {
        m_msgPane->setText(text);
        m_msgPane->repaint();
        return;
    }
    if (!m_frame)
        return;
    QStatusBar* bar = m_frame->statusBar();
    if (text.isEmpty())
        bar->clearMessage();
    else
        bar->showMessage(text);
    bar->repaint();
}

void CGuiUserInterface::setWaitCursor(bool on) {
    if (on) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        ++m_waitCursorDepth;
    } else if (m_waitCursorDepth > 0) {
        QApplication::restoreOverrideCursor();
        --m_waitCursorDepth;
    }
}

QString CGuiUserInterface::chooseOpenFile(const QString& title, const QString& filter,
                                          const QString& initial) {
    return QFileDialog::getOpenFileName(boxParent(m_frame), title, initial, filter);
}

QString CGuiUserInterface::chooseSaveFile(const QString& title, const QString& filter,
                                          const QString& initial) {
    // The dialog itself asks before an existing file is overwritten.
    return QFileDialog::getSaveFileName(boxParent(m_frame), title, initial, filter);
}

QWidget* CGuiUserInterface::progressDialog() const {
    return m_dialog;
}

void CGuiUserInterface::processStarted(const QString& message, int flags) {
    const bool statusBar = (flags & PROC_STATUS_BAR) && m_frame;
    if (!statusBar && m_dialog) {
        // A nested start only changes the text of the dialog already shown.
        if (!message.isEmpty())
            m_dialog->setText(message);
        return;
    }

    if (statusBar) {
        QStatusBar* bar = m_frame->statusBar();
        if ((flags & PROC_ESC_INTERRUPTS) && !m_msgPane) {
            bar->clearMessage();
            m_msgPane = new QLabel(bar);
            m_msgPane->setObjectName(QStringLiteral("ProcessMessagePane"));
            m_escPane = new QLabel(QStringLiteral("Press 'Esc' to interrupt "), bar);
            m_escPane->setObjectName(QStringLiteral("ProcessEscPane"));
            bar->addWidget(m_msgPane, 1);
            bar->addPermanentWidget(m_escPane);
            m_msgPane->show();
            m_escPane->show();
        }
        if (!message.isEmpty())
            setStatusText(message);
        bar->repaint();
    } else {
        QWidget* parent = m_frame;
        m_dialog = new CProgressDlg(parent, this, flags);
        m_dialog->adjustSize();
        const QRect area = parent ? parent->geometry()
                                  : (QApplication::primaryScreen()
                                         ? QApplication::primaryScreen()->availableGeometry()
                                         : QRect());
        if (area.isValid())
            m_dialog->move(area.center() - m_dialog->rect().center());
        m_dialog->show();
    }

    m_flags = flags;
    m_busy = true;
    m_escRequested = false;
    m_closeRequested = false;

    if (flags & PROC_DISABLE_WINDOWS)
        disableWindows();

    if (m_dialog)
        m_dialog->repaint();
    else if (m_frame) {
        m_frame->setCursor(Qt::BusyCursor);
        m_frameCursorSet = true;
    }
    qApp->installEventFilter(this);
}

void CGuiUserInterface::processMessage(const QString& message) {
    if (m_dialog) {
        if (!message.isEmpty()) {
            m_dialog->setText(message);
            m_dialog->repaint();
        }
        return;
    }
    if (!message.isEmpty())
        setStatusText(message);
}

bool CGuiUserInterface::pollInterruptRequest(int flags) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    bool request = false;
    if (m_escRequested && (flags & PROC_ESC_INTERRUPTS))
        request = true;
    if (m_closeRequested && (flags & PROC_CLOSE_INTERRUPTS))
        request = true;
    m_escRequested = false;
    m_closeRequested = false;
    if (QCoreApplication::closingDown())
        request = true;
    return request;
}

void CGuiUserInterface::processEnded(int /*flags*/) {
    if (!m_busy)
        return;
    qApp->removeEventFilter(this);
    if (m_flags & PROC_DISABLE_WINDOWS)
        enableWindows();
    if (m_frameCursorSet && m_frame)
        m_frame->unsetCursor();
    m_frameCursorSet = false;
    if (m_msgPane && m_frame) {
        // The last progress text stays visible in the restored status bar.
        const QString last = m_msgPane->text();
        QStatusBar* bar = m_frame->statusBar();
        bar->removeWidget(m_msgPane);
        bar->removeWidget(m_escPane);
        delete m_msgPane;
        delete m_escPane;
        if (!last.isEmpty())
            bar->showMessage(last);
    }
    delete m_dialog;
    m_busy = false;
    m_flags = 0;
    m_escRequested = false;
    m_closeRequested = false;
}

bool CGuiUserInterface::mayCloseMainWindow() {
    if (!m_busy)
        return true;
    if (m_flags & PROC_CLOSE_INTERRUPTS)
        m_closeRequested = true;
    return false;
}

bool CGuiUserInterface::eventFilter(QObject* watched, QEvent* event) {
    if (m_busy && (m_flags & PROC_ESC_INTERRUPTS) &&
        (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride)) {
        auto* key = static_cast<QKeyEvent*>(event);
        // The question asked on Esc is modal: Esc inside it answers it as usual.
        if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier &&
            !QApplication::activeModalWidget()) {
            if (event->type() == QEvent::KeyPress && !key->isAutoRepeat())
                m_escRequested = true;
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void CGuiUserInterface::disableWindows() {
    m_disabled.clear();
    m_greyedMenus.clear();
    m_focus = QApplication::focusWidget();
    m_activeChild = nullptr;
    if (m_frame) {
        if (auto* mdi = qobject_cast<QMdiArea*>(m_frame->centralWidget()))
            m_activeChild = mdi->activeSubWindow();
        for (QObject* o : m_frame->children()) {
            auto* w = qobject_cast<QWidget*>(o);
            // The status bar shows the progress and the menu bar is greyed item by item.
            if (!w || w->isWindow() || !w->isEnabled() || w == m_frame->statusBar() ||
                w == m_frame->menuBar())
                continue;
            w->setEnabled(false);
            m_disabled.append(w);
        }
        for (QAction* a : m_frame->menuBar()->actions()) {
            if (!a->isEnabled())
                continue;
            m_greyedMenus.append(a);
            if (a->menu())
                collectMenuActions(a->menu(), m_greyedMenus);
        }
        for (const auto& a : m_greyedMenus)
            a->setEnabled(false);
    }
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w == m_frame || w == m_dialog || !w->isVisible() || !w->isEnabled())
            continue;
        w->setEnabled(false);
        m_disabled.append(w);
    }
    if (m_frame)
        m_frame->repaint();
}

void CGuiUserInterface::enableWindows() {
    for (const auto& w : m_disabled)
        if (w)
            w->setEnabled(true);
    for (const auto& a : m_greyedMenus)
        if (a)
            a->setEnabled(true);
    m_disabled.clear();
    m_greyedMenus.clear();
    if (m_frame && m_activeChild && m_activeChild->isVisible()) {
        if (auto* mdi = qobject_cast<QMdiArea*>(m_frame->centralWidget()))
            if (auto* sub = qobject_cast<QMdiSubWindow*>(m_activeChild.data()))
                mdi->setActiveSubWindow(sub);
    }
    if (m_focus && m_focus->isVisible())
        m_focus->setFocus();
    m_focus = nullptr;
    m_activeChild = nullptr;
}
