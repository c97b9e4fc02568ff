#include "ui/app/logdoc.h"

#include <QFileInfo>

namespace {
CLogDoc* g_logDoc = nullptr;
} // namespace

CLogDoc::CLogDoc(QObject* parent) : QObject(parent) {
    Q_ASSERT(!g_logDoc);
    g_logDoc = this;
    theLog().addListener(this);
}

CLogDoc::~CLogDoc() {
    theLog().removeListener(this);
    if (g_logDoc == this)
        g_logDoc = nullptr;
}

CLogDoc* CLogDoc::instance() {
    return g_logDoc;
}

bool CLogDoc::canOpen() {
    return theLog().ensureOpen();
}

QStringList CLogDoc::allLines() const {
    return theLog().readLines();
}

QString CLogDoc::title() const {
    return QFileInfo(theLog().filePath()).fileName();
}

void CLogDoc::lineAdded(const QString& line) {
    m_lastLine = line;
    emit updateViews(HintLineAdded, line);
}

void CLogDoc::cleared() {
    m_lastLine.clear();
    emit updateViews(HintClear, QString());
}
