#include "ui/app/singleinstance.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QWidget>

#include <unistd.h>

namespace {
const QByteArray kRequest = QByteArrayLiteral("__TKP_AREYOUTHERE__\n");
const QByteArray kAnswer = QByteArrayLiteral("HERE\n");
} // namespace

CSingleInstance::CSingleInstance(const QString& key, QObject* parent)
    : QObject(parent), m_key(key.isEmpty() ? defaultKey() : key) {}

CSingleInstance::~CSingleInstance() = default;

QString CSingleInstance::defaultKey() {
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty())
        user = qEnvironmentVariable("LOGNAME");
    if (user.isEmpty())
        user = QString::number(::getuid());
    // Socket names must stay plain file names.
    for (QChar& c : user)
        if (!c.isLetterOrNumber() && c != u'_' && c != u'-' && c != u'.')
            c = u'_';
    return QString::fromLatin1(kInstanceMessage) + u'-' + user;
}

bool CSingleInstance::handOverToRunning(int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(m_key);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(kRequest);
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    // The running instance answers once its window is in front.
    QByteArray reply;
    while (!reply.contains('\n')) {
        if (!socket.waitForReadyRead(timeoutMs))
            break;
        reply += socket.readAll();
    }
    socket.disconnectFromServer();
    return reply == kAnswer;
}

bool CSingleInstance::listen() {
    if (m_server)
        return m_server->isListening();
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    bool ok = m_server->listen(m_key);
    if (!ok && m_server->serverError() == QAbstractSocket::AddressInUseError) {
        // A socket file left behind by an instance that died: nobody answered on it (the
        // caller tried to hand over first), so it can be replaced.
        QLocalServer::removeServer(m_key);
        ok = m_server->listen(m_key);
    }
    if (!ok) {
        qWarning("Single instance: cannot listen on %s: %s", qPrintable(m_key),
                 qPrintable(m_server->errorString()));
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, &CSingleInstance::onNewConnection);
    return true;
}

bool CSingleInstance::isListening() const {
    return m_server && m_server->isListening();
}

void CSingleInstance::onNewConnection() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine())
                return;
            const QByteArray line = socket->readLine();
            if (line == kRequest) {
                emit activationRequested();
                socket->write(kAnswer);
                socket->flush();
            }
            socket->disconnectFromServer();
        });
    }
}

void bringToFront(QWidget* window) {
    if (!window)
        return;
    window->showNormal();
    window->raise();
    window->activateWindow();
}
