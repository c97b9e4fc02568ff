#pragma once
#include "core/sample/sampledatabase.h"

#include <QString>

// The sample month ready to bill: the sample database together with the sessions of its
// detail file, for the monthly job on the command line and for the desktop program's
// "Open sample database".

// The server the sample month's sessions are imported for.
inline constexpr const char* kSampleServerName = "radius1";

struct SampleMonthFiles {
    bool ok = false;
    QString error;
    QString databasePath; // "<folder>/tollk.sample.db"
    QString detailPath;   // "<folder>/detail-202611"
    QString logoPath;
};

// A fresh copy of the sample database in `folder` (an existing one is replaced, so every
// monthly job on the sample starts from the same state) and the month's detail file next to
// it. The sessions are not imported: that is the monthly job's first step. The folder is made
// when missing.
SampleMonthFiles PrepareSampleMonth(const QString& folder);

// The sample database at `path` (never over an existing file) with the month's sessions
// already imported through the usage import (Radius, server kSampleServerName), so that the
// desktop program has something to bill. The import's messages are kept out of the way
// (failures are still shown). On failure nothing is left at the path.
SampleDatabaseResult CreateSampleDatabaseWithSessions(const QString& path);
