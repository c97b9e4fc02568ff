#pragma once
#include "core/app/resultcodes.h"

// The authentication systems offered by the import: the index of the entry chosen by the user.
enum AuthSystem : int {
    AUTH_REMOTE_ACCESS = 0, // "Remote Access (RAS and R-RAS)": event log
    AUTH_RADIUS = 1,        // "Radius": RADIUS detail file
    AUTH_CITRIX_LAN = 2,    // "Citrix/LAN": event log
    AUTH_UNET = 3,          // "UNet Radius TACACS": syslog lines
    AUTH_TELEBIT = 4        // "Telebit": syslog lines
};

// Results of an import: the system result codes under the names the import gives them.
enum ImportResult : int {
    IMPORT_OK = SystemResult::Ok,                  // the log was read to its end
    IMPORT_FAILED = SystemResult::Failed,          // an error while reading or storing
    IMPORT_OPEN_FAILED = SystemResult::OpenFailed, // the file or log could not be opened
    IMPORT_INTERRUPTED = SystemResult::Cancelled   // the user interrupted the import
};

// Operation-log code of the import's warnings (a warning whose text the caller supplies).
inline constexpr int kImportWarningCode = ResultCode::OwnTextWarning;

// A logon name read from a log is cut to this many characters.
inline constexpr int kImportNameLength = 20;
