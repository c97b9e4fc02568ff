#include "common/smtpsinkprocess.h"

#include "core/mail/smtpclient.h"

#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>

namespace {
const QString kScripts = QStringLiteral(TK_SOURCE_DIR "/tests/mail/");

QString findPython() {
    for (const QString& candidate :
         {QStringLiteral("/usr/bin/python3"), QStringLiteral("python3")}) {
        QProcess p;
        p.start(candidate, {QStringLiteral("-c"), QStringLiteral("import aiosmtpd")});
        if (p.waitForFinished(20000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0)
            return candidate;
    }
    return {};
}
} // namespace

QJsonObject CSmtpSinkProcess::Message::part(const QString& type) const {
    for (const QJsonValue& v : parts)
        if (v[QLatin1String("type")].toString() == type)
            return v.toObject();
    return {};
}

QStringList CSmtpSinkProcess::Message::shape() const {
    QStringList s;
    for (const QJsonValue& v : parts)
        s.append(QStringLiteral("%1:%2")
                     .arg(v[QLatin1String("depth")].toInt())
                     .arg(v[QLatin1String("type")].toString()));
    return s;
}

CSmtpSinkProcess::~CSmtpSinkProcess() {
    stop();
}

bool CSmtpSinkProcess::start(const QString& inbox, QString* error, const QStringList& options) {
    m_python = findPython();
    if (m_python.isEmpty()) {
        *error = QStringLiteral("Python 3 with aiosmtpd is needed (package python3-aiosmtpd)");
        return false;
    }
    m_inbox = inbox;
    QDir().mkpath(inbox);
    m_sink.setProcessChannelMode(QProcess::SeparateChannels);
    m_sink.start(m_python, QStringList{kScripts + QStringLiteral("smtpsink.py"), inbox} + options);
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
    return int(QDir(m_inbox).entryList({QStringLiteral("*.eml")}, QDir::Files).size());
}

bool CSmtpSinkProcess::take(Message& out) {
    const QString base =
        QStringLiteral("%1/msg%2").arg(m_inbox).arg(m_taken + 1, 3, 10, QLatin1Char('0'));
    QFile eml(base + QStringLiteral(".eml"));
    QFile env(base + QStringLiteral(".json"));
    if (!eml.open(QIODevice::ReadOnly) || !env.open(QIODevice::ReadOnly)) {
        qWarning() << "no message stored as" << base;
        return false;
    }
    ++m_taken;
    out.raw = eml.readAll();
    const QJsonObject envelope = QJsonDocument::fromJson(env.readAll()).object();
    out.from = envelope[QLatin1String("from")].toString();
    out.helo = envelope[QLatin1String("helo")].toString();
    out.tls = envelope[QLatin1String("tls")].toBool();
    out.user = envelope[QLatin1String("user")].toString();
    out.rcpt.clear();
    for (const QJsonValue& v : envelope[QLatin1String("rcpt")].toArray())
        out.rcpt.append(v.toString());

    QProcess check;
    check.start(m_python, {kScripts + QStringLiteral("mailcheck.py"), eml.fileName()});
    if (!check.waitForFinished(30000) || check.exitCode() != 0) {
        qWarning() << "checker failed:" << check.readAllStandardError();
        return false;
    }
    const QJsonObject doc = QJsonDocument::fromJson(check.readAllStandardOutput()).object();
    out.headers = doc[QLatin1String("headers")].toObject();
    out.decoded = doc[QLatin1String("decoded")].toObject();
    out.parts = doc[QLatin1String("parts")].toArray();
    out.defects = doc[QLatin1String("defects")].toArray();
    for (const QJsonValue& p : out.parts)
        for (const QJsonValue& d : p[QLatin1String("defects")].toArray())
            out.defects.append(d);
    return true;
}
