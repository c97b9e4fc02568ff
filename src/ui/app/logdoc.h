#pragma once
#include "core/app/operationlog.h"

#include <QObject>
#include <QString>

// The operation log as a document: at most one exists, known process-wide while it lives.
// It listens to the operation log and passes added lines and clears on to its views.
class CLogDoc : public QObject, public ILogListener {
    Q_OBJECT
public:
    // Hints passed to the views.
    static constexpr int HintClear = 1024;
    static constexpr int HintLineAdded = 2048;

    explicit CLogDoc(QObject* parent = nullptr);
    ~CLogDoc() override;

    // The one log document, or null.
    static CLogDoc* instance();

    // Opening succeeds only when the log file can be opened.
    static bool canOpen();

    // The last line handed to the views.
    QString lastLine() const { return m_lastLine; }
    // Every line of the file, from its start.
    QStringList allLines() const;
    // The title shown in the window caption: the log file's name.
    QString title() const;

    void lineAdded(const QString& line) override;
    void cleared() override;

signals:
    // hint: HintLineAdded (line set) or HintClear.
    void updateViews(int hint, const QString& line);

private:
    QString m_lastLine;
};
