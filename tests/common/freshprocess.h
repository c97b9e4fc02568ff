#pragma once
#include "common/testfolders.h"

// The state of a freshly started process for start-up tests run in this one: the settings
// store closed, the operation log reset, the upgrade state forgotten, new folders for
// settings and data, and a temporary folder of its own (instance sockets, TKP files).
// Destroying it resets the process state again before the folders go.
class CFreshProcess : public CTestFolders {
public:
    CFreshProcess();
    ~CFreshProcess();
    bool isValid() const { return CTestFolders::isValid() && m_tmpReady; }
    static void resetProcessState();

private:
    bool m_tmpReady = false;
};
