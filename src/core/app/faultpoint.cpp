#include "core/app/faultpoint.h"

#include <QByteArray>
#include <QFile>
#include <QThread>

#include <csignal>
#include <cstdlib>
#include <cstring>

namespace {

struct FaultSpec {
    QByteArray point;
    int hit = 1;
    QByteArray action;
    QByteArray marker;
    int seen = 0;
};

FaultSpec* Spec() {
    static FaultSpec* spec = []() -> FaultSpec* {
        const char* point = std::getenv("TK_FAULT_POINT");
        if (point == nullptr || *point == '\0')
            return nullptr;
        auto* s = new FaultSpec;
        s->point = point;
        const int colon = s->point.indexOf(':');
        if (colon >= 0) {
            s->hit = qMax(1, s->point.mid(colon + 1).toInt());
            s->point.truncate(colon);
        }
        s->action = qgetenv("TK_FAULT_ACTION");
        if (s->action.isEmpty())
            s->action = "kill";
        s->marker = qgetenv("TK_FAULT_MARKER");
        return s;
    }();
    return spec;
}

} // namespace

void FaultPoint(const char* name) {
    FaultSpec* spec = Spec();
    if (spec == nullptr || std::strcmp(spec->point.constData(), name) != 0)
        return;
    if (++spec->seen != spec->hit)
        return;
    if (!spec->marker.isEmpty()) {
        QFile marker(QString::fromLocal8Bit(spec->marker));
        if (marker.open(QIODevice::WriteOnly))
            marker.write(name);
    }
    const QByteArray& action = spec->action;
    if (action == "kill")
        std::raise(SIGKILL);
    else if (action == "term")
        std::raise(SIGTERM);
    else if (action == "hup")
        std::raise(SIGHUP);
    else if (action == "int")
        std::raise(SIGINT);
    else if (action.startsWith("pause:"))
        QThread::msleep(static_cast<unsigned long>(qMax(0, action.mid(6).toInt())));
}
