#include "ui/app/windowplacement.h"

#include <QDataStream>
#include <QIODevice>
#include <QMdiSubWindow>

namespace {
constexpr quint32 kMagic = 0x544b5731; // "TKW1"
}

QByteArray SaveChildPlacement(const QMdiSubWindow* child) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    const bool special = child->isMaximized() || child->isMinimized();
    // A maximised or minimised window remembers the rectangle it returns to.
    const QRect rect = special ? child->normalGeometry() : child->geometry();
    out << kMagic << rect << child->isMaximized() << child->isMinimized();
    return bytes;
}

bool RestoreChildPlacement(QMdiSubWindow* child, const QByteArray& bytes) {
    if (bytes.isEmpty())
        return false;
    QDataStream in(bytes);
    in.setVersion(QDataStream::Qt_6_0);
    quint32 magic = 0;
    QRect rect;
    bool maximized = false, minimized = false;
    in >> magic >> rect >> maximized >> minimized;
    if (in.status() != QDataStream::Ok || magic != kMagic || !rect.isValid())
        return false;
    child->setGeometry(rect);
    if (maximized)
        child->showMaximized();
    else if (minimized)
        child->showMinimized();
    return true;
}
