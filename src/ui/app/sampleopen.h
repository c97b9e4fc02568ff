#pragma once

class CDatabaseSession;

// "&Open sample database" of the welcome dialog. No installer puts the sample database into
// the user's data folder, so the first request creates it there (tollk.sample.db with its
// logo, and the sample month's sessions imported, ready to bill), with the wait cursor and a
// status text meanwhile; then the session switches to it. Returns the session's result code:
// 0 opened, 13 failed (the user was told why), 1223 declined.
int OpenSampleDatabase(CDatabaseSession& session);
