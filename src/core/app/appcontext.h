#pragma once
#include <memory>

class CBusyState;
class CDatabaseSession;
class COperationLog;
class CRegistryStore;
class Database;
class IUserInterface;

// The state the whole process shares: the user interface port, the operation log, the
// settings store, the database session and the busy state. Everything reaches it through
// App(); the short forms ui(), theLog(), theRegistry() and theDatabase() are the same objects.
class CAppContext {
public:
    CAppContext();
    ~CAppContext();
    CAppContext(const CAppContext&) = delete;
    CAppContext& operator=(const CAppContext&) = delete;

    // The installed user interface; a silent one (answers No, shows nothing) until one is
    // installed.
    IUserInterface& ui() const;
    // nullptr restores the silent default. The caller keeps ownership.
    void setUi(IUserInterface* ui);

    COperationLog& log() const;
    CRegistryStore& registry() const;
    CBusyState& busy() const;

    // The session while one exists (it registers itself), else nullptr.
    CDatabaseSession* session() const { return m_session; }
    void setSession(CDatabaseSession* session) { m_session = session; }
    // The session's database when open, else nullptr.
    Database* database() const;

    // Back to the state of a fresh process (tests): the silent interface, the log closed with
    // its flags and listeners cleared, the settings store closed, no operation running. The
    // session is its owner's and stays.
    void reset();

private:
    struct Parts;
    std::unique_ptr<Parts> d;
    IUserInterface* m_ui = nullptr;
    CDatabaseSession* m_session = nullptr;
};

// The process's context.
CAppContext& App();
