#pragma once
#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>

// Every 10 ms while it exists, hands the active modal window (if any) to `answer`, which
// clicks, accepts or rejects it. For desktop tests that run modal dialogs.
class CModalWatcher : public QObject {
public:
    explicit CModalWatcher(std::function<void(QWidget*)> answer) {
        m_timer.setInterval(10);
        connect(&m_timer, &QTimer::timeout, this, [answer] {
            if (QWidget* w = QApplication::activeModalWidget())
                answer(w);
        });
        m_timer.start();
    }

private:
    QTimer m_timer;
};
