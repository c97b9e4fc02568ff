#pragma once
#include "core/app/userinterface.h"

#include <QAction>
#include <QLabel>
#include <QList>
#include <QMainWindow>
#include <QObject>
#include <QPointer>
#include <QString>

class QWidget;
class CProgressDlg;

// The desktop implementation of IUserInterface: message boxes, the main window's status bar,
// the wait cursor and the presentation of the busy state (progress dialog or status-bar panes,
// disabled windows and menus, Esc and close requests).
class CGuiUserInterface : public QObject, public IUserInterface {
    Q_OBJECT
public:
    explicit CGuiUserInterface(QObject* parent = nullptr);
    ~CGuiUserInterface() override;

    // The main window whose status bar, menus and children the busy state uses (may be null).
    void setMainWindow(QMainWindow* frame);
    QMainWindow* mainWindow() const { return m_frame; }

    bool askYesNo(const QString& text, MessageIcon icon = MessageIcon::Question) override;
    void showMessage(const QString& text, MessageIcon icon = MessageIcon::Exclamation) override;
    void setStatusText(const QString& text) override;
    void setWaitCursor(bool on) override;

    void processStarted(const QString& message, int flags) override;
    void processMessage(const QString& message) override;
    bool pollInterruptRequest(int flags) override;
    void processEnded(int flags) override;
    QString chooseOpenFile(const QString& title, const QString& filter,
                           const QString& initial = {}) override;
    QString chooseSaveFile(const QString& title, const QString& filter,
                           const QString& initial = {}) override;

    bool isBusy() const { return m_busy; }
    int busyFlags() const { return m_flags; }
    // The main window's close handler asks here; false while an operation runs (the request is
    // then noted as an interrupt request when the operation accepts close interrupts).
    bool mayCloseMainWindow();
    // The progress dialog of the running operation, if any (for tests and the dialog's owner).
    QWidget* progressDialog() const;
    // The two status-bar panes of a running operation (null when not shown).
    QLabel* messagePane() const { return m_msgPane; }
    QLabel* escPane() const { return m_escPane; }

    // Noted by the progress dialog, the main window and the Esc filter.
    void noteEscPressed() { m_escRequested = true; }
    void noteCloseRequested() { m_closeRequested = true; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void disableWindows();
    void enableWindows();

    QPointer<QMainWindow> m_frame;
    QPointer<CProgressDlg> m_dialog;
    QPointer<QLabel> m_msgPane;
    QPointer<QLabel> m_escPane;
    bool m_busy = false;
    int m_flags = 0;
    bool m_escRequested = false;
    bool m_closeRequested = false;
    int m_waitCursorDepth = 0;
    bool m_frameCursorSet = false;

    // What PROC_DISABLE_WINDOWS changed, to undo it exactly.
    QList<QPointer<QWidget>> m_disabled;
    QList<QPointer<QAction>> m_greyedMenus;
    QPointer<QWidget> m_focus;
    QPointer<QWidget> m_activeChild;
};
