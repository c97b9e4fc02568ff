#pragma once
#include <QObject>
#include <QString>

class QLocalServer;

// Keeps one running instance per user. The first instance listens on a local socket named
// after the instance message; a later start connects to it, the first one restores, raises and
// activates its main window and answers, and the later start then quits without a window.
class CSingleInstance : public QObject {
    Q_OBJECT
public:
    // key: the socket name; empty means the instance message plus the user's name.
    explicit CSingleInstance(const QString& key = {}, QObject* parent = nullptr);
    ~CSingleInstance() override;

    static QString defaultKey();
    QString key() const { return m_key; }

    // Asks a running instance to come to the front. True when one answered: this process
    // must then end quietly.
    bool handOverToRunning(int timeoutMs = 2000);
    // Starts answering later starts. False when the socket cannot be set up.
    bool listen();
    bool isListening() const;

signals:
    // Emitted in the first instance when a later start asked for it.
    void activationRequested();

private:
    void onNewConnection();

    QString m_key;
    QLocalServer* m_server = nullptr;
};

// The instance message.
inline constexpr const char* kInstanceMessage = "__TKP_AREYOUTHERE__";

// Restores a window to its normal size, raises and activates it.
class QWidget;
void bringToFront(QWidget* window);
