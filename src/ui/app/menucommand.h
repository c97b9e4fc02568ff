#pragma once
#include <QAction>
#include <QMenu>
#include <QString>

// Adds a command to `menu`: an action named `name` (how tests and the toolbar find it) that shows
// `tip` on the status bar and, triggered, runs `slot` for as long as `context` lives.
template <class Slot>
QAction* AddMenuCommand(QMenu* menu, QObject* context, const char* name, const QString& text,
                        const QString& tip, Slot slot) {
    QAction* a = menu->addAction(text);
    a->setObjectName(QString::fromLatin1(name));
    a->setStatusTip(tip);
    QObject::connect(a, &QAction::triggered, context, slot);
    return a;
}
