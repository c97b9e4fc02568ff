#pragma once
#include <QByteArray>

class QWidget;
class QMdiSubWindow;

// Window placements kept as binary settings values. Top-level windows use Qt's own geometry
// bytes; document windows inside the main window keep their rectangle and state.
QByteArray SaveChildPlacement(const QMdiSubWindow* child);
// False when the bytes are empty or not a placement (the window then keeps its default).
bool RestoreChildPlacement(QMdiSubWindow* child, const QByteArray& bytes);
