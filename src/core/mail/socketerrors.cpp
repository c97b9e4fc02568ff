#include "core/mail/socketerrors.h"

#include "core/app/userinterface.h"

namespace {
struct ErrorText {
    int code;
    const char* text;
};

const ErrorText kTexts[] = {
    {6, "Specified event object handle is invalid."},
    {8, "Insufficient memory available."},
    {87, "One or more parameters are invalid."},
    {995, "Overlapped operation aborted."},
    {996, "Overlapped I/O event object not in signaled state."},
    {997, "Overlapped operations will complete later."},
    {10004, "Interrupted function call."},
    {10013, "Permission denied."},
    {10014, "Bad address."},
    {10022, "Invalid argument."},
    {10024, "Too many open files."},
    {10035, "Resource temporarily unavailable."},
    {10036, "Operation now in progress."},
    {10037, "Operation already in progress."},
    {10038, "Socket operation on non-socket"},
    {10039, "Destination address required."},
    {10040, "Message too long."},
    {10041, "Protocol wrong type for socket"},
    {10042, "Bad protocol option."},
    {10043, "Protocol not supported."},
    {10044, "Socket type not supported."},
    {10045, "Operation not supported."},
    {10046, "Protocol family not supported."},
    {10047, "Address family not supported by protocol family."},
    {10048, "Address already in use."},
    {10049, "Cannot assign requested address."},
    {10050, "Network is down."},
    {10051, "Network is unreachable."},
    {10052, "Network dropped connection on reset."},
    {10053, "Software caused connection abort.  Timeout may have occurred."},
    {10054, "Connection reset by peer."},
    {10055, "No buffer space available."},
    {10056, "Socket is already connected."},
    {10057, "Socket is not connected."},
    {10058, "Cannot send after socket shutdown."},
    {10060, "Connection timed out."},
    {10061, "Connection refused."},
    {10064, "Host is down."},
    {10065, "No route to host."},
    {10067, "Too many processes."},
    {10091, "Network subsystem is unavailable."},
    {10092, "WINSOCK.DLL version out of range."},
    {10093, "Successful WSAStartup not yet performed."},
    {10101, "Graceful shutdown in progress."},
    {10104, "Invalid procedure table from service provider."},
    {10105, "Invalid service provider version number."},
    {10106, "Unable to initialize a service provider."},
    {10107, "System call failure."},
    {11001, "Host not found."},
    {11002, "Non-authoritative host not found."},
    {11003, "This is a non-recoverable error."},
    {11004, "Valid name, no data record of requested type."},
};
} // namespace

QString SocketErrorText(int code) {
    for (const ErrorText& e : kTexts)
        if (e.code == code)
            return QString::fromLatin1(e.text);
    return {};
}

QString SocketErrorMessage(int code) {
    if (code == 0)
        return {};
    const QString text = SocketErrorText(code);
    if (text.isEmpty())
        return QStringLiteral("Unknown socket error code! (%1)").arg(code);
    return QStringLiteral("Socket error:  ") + text;
}

void ReportSocketError(int code) {
    if (code != 0)
        ui().showMessage(SocketErrorMessage(code));
}

int SocketErrorCodeOf(const QAbstractSocket& socket) {
    return SocketErrorCodeOf(socket.error(), socket.errorString());
}

int SocketErrorCodeOf(QAbstractSocket::SocketError error, const QString& errorString) {
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
    case QAbstractSocket::ProxyConnectionRefusedError:
        return 10061;
    case QAbstractSocket::RemoteHostClosedError:
    case QAbstractSocket::ProxyConnectionClosedError:
        return SOCKERR_NOT_CONNECTED;
    case QAbstractSocket::HostNotFoundError:
    case QAbstractSocket::ProxyNotFoundError:
        return SOCKERR_HOST_NOT_FOUND;
    case QAbstractSocket::SocketAccessError:
    case QAbstractSocket::ProxyAuthenticationRequiredError:
        return 10013;
    case QAbstractSocket::SocketResourceError:
        return 10055;
    case QAbstractSocket::SocketTimeoutError:
    case QAbstractSocket::ProxyConnectionTimeoutError:
        return SOCKERR_TIMED_OUT;
    case QAbstractSocket::DatagramTooLargeError:
        return 10040;
    case QAbstractSocket::NetworkError:
        // Qt folds unreachable networks and hosts, time-outs and resets into one kind; its
        // (untranslated) text tells them apart.
        if (errorString.contains(QLatin1String("timed out"), Qt::CaseInsensitive))
            return SOCKERR_TIMED_OUT;
        if (errorString.contains(QLatin1String("host unreachable"), Qt::CaseInsensitive))
            return 10065;
        if (errorString.contains(QLatin1String("network unreachable"), Qt::CaseInsensitive))
            return 10051;
        if (errorString.contains(QLatin1String("reset"), Qt::CaseInsensitive))
            return SOCKERR_CONN_RESET;
        return 10050;
    case QAbstractSocket::AddressInUseError:
        return 10048;
    case QAbstractSocket::SocketAddressNotAvailableError:
        return 10049;
    case QAbstractSocket::UnsupportedSocketOperationError:
        return 10045;
    case QAbstractSocket::UnfinishedSocketOperationError:
        return SOCKERR_IN_PROGRESS;
    case QAbstractSocket::ProxyProtocolError:
        return 10042;
    case QAbstractSocket::OperationError:
        return 10022;
    case QAbstractSocket::TemporaryError:
        return 10035;
    case QAbstractSocket::SslHandshakeFailedError:
    case QAbstractSocket::SslInternalError:
    case QAbstractSocket::SslInvalidUserDataError:
    case QAbstractSocket::UnknownSocketError:
        break;
    }
    return 10107;
}

int HostLookupErrorCode(const QHostInfo& info) {
    switch (info.error()) {
    case QHostInfo::NoError:
        return info.addresses().isEmpty() ? SOCKERR_NO_DATA : 0;
    case QHostInfo::HostNotFound:
        return SOCKERR_HOST_NOT_FOUND;
    case QHostInfo::UnknownError:
        break;
    }
    return SOCKERR_TRY_AGAIN;
}
