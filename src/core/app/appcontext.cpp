#include "core/app/appcontext.h"

#include "core/app/busystate.h"
#include "core/app/dbsession.h"
#include "core/app/operationlog.h"
#include "core/app/registrystore.h"
#include "core/app/userinterface.h"

struct CAppContext::Parts {
    CSilentUserInterface silent;
    COperationLog log;
    CRegistryStore registry;
    CBusyState busy;
};

CAppContext::CAppContext() : d(std::make_unique<Parts>()) {
    m_ui = &d->silent;
}

CAppContext::~CAppContext() = default;

IUserInterface& CAppContext::ui() const {
    return *m_ui;
}

void CAppContext::setUi(IUserInterface* ui) {
    m_ui = ui ? ui : &d->silent;
}

COperationLog& CAppContext::log() const {
    return d->log;
}

CRegistryStore& CAppContext::registry() const {
    return d->registry;
}

CBusyState& CAppContext::busy() const {
    return d->busy;
}

Database* CAppContext::database() const {
    return m_session ? m_session->database() : nullptr;
}

void CAppContext::reset() {
    m_ui = &d->silent;
    d->log.reset();
    d->registry.close();
    d->busy.reset();
}

CAppContext& App() {
    static CAppContext context;
    return context;
}
