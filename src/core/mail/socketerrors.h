#pragma once
#include <QAbstractSocket>
#include <QHostInfo>
#include <QString>

// Socket failures of the mail client are reported with the classic Windows Sockets error
// numbers and texts that users and their mail administrators know from every other mail
// program; Qt's socket and resolver errors are mapped onto them here.

// Numbers used by the mail client itself.
enum SocketErrorCode : int {
    SOCKERR_NONE = 0,
    SOCKERR_IN_PROGRESS = 10036,  // a second exchange while one is waiting
    SOCKERR_MSG_TOO_LONG = 10040, // a reply longer than any server sends
    SOCKERR_CONN_ABORTED = 10053, // a reply did not come in time
    SOCKERR_CONN_RESET = 10054,
    SOCKERR_NOT_CONNECTED = 10057, // the server closed the connection
    SOCKERR_TIMED_OUT = 10060,     // the connection could not be made in time
    SOCKERR_HOST_NOT_FOUND = 11001,
    SOCKERR_TRY_AGAIN = 11002,
    SOCKERR_NO_DATA = 11004,
};

// The table's text of a code; empty for a code not in the table.
QString SocketErrorText(int code);
// The message shown for a code: "Socket error:  " + text, or "Unknown socket error code! (%d)";
// empty for 0.
QString SocketErrorMessage(int code);
// Shows SocketErrorMessage(code) through ui(); nothing for 0.
void ReportSocketError(int code);

// The number of a socket's failure (its error() with the error string telling apart the
// kinds Qt folds into one).
int SocketErrorCodeOf(const QAbstractSocket& socket);
int SocketErrorCodeOf(QAbstractSocket::SocketError error, const QString& errorString = {});
// The number of a failed host name lookup; 0 when it succeeded with at least one address.
int HostLookupErrorCode(const QHostInfo& info);
