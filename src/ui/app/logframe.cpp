#include "ui/app/logframe.h"

#include "core/app/settingsvalues.h"
#include "ui/app/logdoc.h"
#include "ui/app/logview.h"
#include "ui/app/windowplacement.h"

#include <QCloseEvent>

namespace {
CLogFrame* g_logFrame = nullptr;
}

CLogFrame::CLogFrame(QWidget* parent) : QMdiSubWindow(parent) {
    setObjectName(QStringLiteral("LogFrame"));
    setAttribute(Qt::WA_DeleteOnClose);
    m_doc = new CLogDoc(this);
    m_view = new CLogView(m_doc, this);
    setWidget(m_view);
    setWindowTitle(m_doc->title());
    m_view->loadAll();
    g_logFrame = this;
}

CLogFrame::~CLogFrame() {
    if (g_logFrame == this)
        g_logFrame = nullptr;
    // The document goes with its window: stop listening before the view is destroyed.
    delete m_doc;
    m_doc = nullptr;
}

CLogFrame* CLogFrame::current() {
    return g_logFrame;
}

bool CLogFrame::restorePlacement() {
    return RestoreChildPlacement(this, RegBinary(Reg::LogWindowPlacement));
}

void CLogFrame::savePlacement() {
    if (!RegWriteBinary(Reg::LogWindowPlacement, SaveChildPlacement(this)))
        qWarning("Unable to store the log window placement");
}

void CLogFrame::closeEvent(QCloseEvent* event) {
    savePlacement();
    QMdiSubWindow::closeEvent(event);
}
