#include "common/smtpsinkprocess.h"

#include "core/mail/smtpclient.h"

#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>

using namespace Qt::StringLiterals;

namespace {
const QString kScripts = QStringLiteral(TK_SOURCE_DIR "/tests/mail/");

QString findPython() {
    for (const QString& candidate : {u"/usr/bin/python3"_s, u"python3"_s}) {
        QProcess p;
        p.start(candidate, {u"-c"_s, u"import aiosmtpd"_s});
        if (p.waitForFinished(20000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0)
            return candidate;
    }
    return {};
}
} // namespace

QJsonObject CSmtpSinkProcess::Message::part(const QString& type) const {
    for (const QJsonValue& v : parts)
        if (v[u"type"_s].toString() == type)
            return v.toObject();
    return {};
}

QStringList CSmtpSinkProcess::Message::shape() const {
    QStringList s;
    for (const QJsonValue& v : parts)
        s.append(u"%1:%2"_s.arg(v[u"depth"_s].toInt()).arg(v[u"type"_s].toString()));
    return s;
}

CSmtpSinkProcess::~CSmtpSinkProcess() {
    stop();
}

bool CSmtpSinkProcess::start(const QString& inbox, QString* error, const QStringList& options) {
    m_python = findPython();
    if (m_python.isEmpty()) {
        *error = u"Python 3 with aiosmtpd is needed (package python3-aiosmtpd)"_s;
        return false;
    }
    m_inbox = inbox;
    QDir().mkpath(inbox);
    m_sink.setProcessChannelMode(QProcess::SeparateChannels);
    m_sink.start(m_python, QStringList{kScripts + u"smtpsink.py"_s, inbox} + options);
    if (!m_sink.waitForStarted(10000)) {
        *error = m_sink.errorString();
        return false;
    }
    QElapsedTimer clock;
    clock.start();
    while (!m_sink.canReadLine() && clock.elapsed() < 30000)
        m_sink.waitForReadyRead(1000);
    const QByteArray ready = m_sink.readLine().trimmed();
    if (!ready.startsWith("READY ")) {
        *error = QString::fromLocal8Bit(m_sink.readAllStandardError());
        return false;
    }
    m_port = ready.mid(6).toInt();
    SetSmtpTestParameters(quint16(m_port), 10000);
    return m_port > 0;
}

void CSmtpSinkProcess::stop() {
    if (m_sink.state() == QProcess::NotRunning)
        return;
    m_sink.closeWriteChannel(); // the sink stops when its input ends
    if (!m_sink.waitForFinished(10000)) {
        m_sink.kill();
        m_sink.waitForFinished(5000);
    }
}

int CSmtpSinkProcess::storedCount() const {
    return int(QDir(m_inbox).entryList({u"*.eml"_s}, QDir::Files).size());
}

bool CSmtpSinkProcess::take(Message& out) {
    const QString base = u"%1/msg%2"_s.arg(m_inbox).arg(m_taken + 1, 3, 10, QLatin1Char('0'));
    QFile eml(base + u".eml"_s);
    QFile env(base + u".json"_s);
    if (!eml.open(QIODevice::ReadOnly) || !env.open(QIODevice::ReadOnly)) {
        qWarning() << "no message stored as" << base;
        return false;
    }
    ++m_taken;
    out.raw = eml.readAll();
    const QJsonObject envelope = QJsonDocument::fromJson(env.readAll()).object();
    out.from = envelope[u"from"_s].toString();
    out.helo = envelope[u"helo"_s].toString();
    out.tls = envelope[u"tls"_s].toBool();
    out.user = envelope[u"user"_s].toString();
    out.rcpt.clear();
    for (const QJsonValue& v : envelope[u"rcpt"_s].toArray())
        out.rcpt.append(v.toString());

    QProcess check;
    check.start(m_python, {kScripts + u"mailcheck.py"_s, eml.fileName()});
    if (!check.waitForFinished(30000) || check.exitCode() != 0) {
        qWarning() << "checker failed:" << check.readAllStandardError();
        return false;
    }
    const QJsonObject doc = QJsonDocument::fromJson(check.readAllStandardOutput()).object();
    out.headers = doc[u"headers"_s].toObject();
    out.decoded = doc[u"decoded"_s].toObject();
    out.parts = doc[u"parts"_s].toArray();
    out.defects = doc[u"defects"_s].toArray();
    for (const QJsonValue& p : out.parts)
        for (const QJsonValue& d : p[u"defects"_s].toArray())
            out.defects.append(d);
    return true;
}
