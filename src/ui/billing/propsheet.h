#pragma once
#include "core/app/editresult.h"

#include <QDialog>
#include <QList>
#include <QWidget>

class Database;
class QTabWidget;

// One page of a property sheet. A page shows the values of its own fields, checks what was
// typed and saves only its own fields; the rules live in the core page it binds to.
class CPropPage : public QWidget {
    Q_OBJECT
public:
    explicit CPropPage(const QString& title, QWidget* parent = nullptr);
    QString title() const { return m_title; }

    // The message to show when a value is refused, empty when the page is fine; *focus gets
    // the control the message is about.
    virtual QString check(QWidget** focus) = 0;
    // Writes the page's fields (checked first); the outcome with the engine's words.
    virtual EditResult save(Database& db) = 0;

private:
    QString m_title;
};

// A property sheet: its pages as tabs in the order given, OK and Cancel. OK checks every page
// in order; the first refusal is shown, its page brought forward and the focus put on the
// control, and nothing is saved. Then each page saves its own fields; a failure is shown and
// the sheet stays open.
class CPropSheet : public QDialog {
    Q_OBJECT
public:
    explicit CPropSheet(const QString& title, QWidget* parent = nullptr);
    void addPage(CPropPage* page);
    QList<CPropPage*> pages() const { return m_pages; }
    QTabWidget* tabs() const { return m_tabs; }
    // True when something was saved (the views then need a refresh), also after Cancel.
    bool saved() const { return m_saved; }

    void accept() override;

private:
    QTabWidget* m_tabs;
    QList<CPropPage*> m_pages;
    bool m_saved = false;
};
