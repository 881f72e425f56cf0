// Qt's network errors in the user's terms.
#include "web/replyerror.h"

namespace parlowen {

namespace {

// Qt reports "no route" and "host unreachable" alike, as a network error;
// only the words of the socket engine tell them apart, in both the plain
// reader's sockets and Qt's own HTTP. This program installs no translation
// of Qt's words, so they are these; words it does not know stay a broken
// connection.
LoadError socketFailure(QStringView detail)
{
    struct Reason {
        QLatin1StringView words;
        LoadError error;
    };
    static constexpr Reason reasons[]{
        {QLatin1StringView("Network unreachable"), LoadError::NoRoute},
        {QLatin1StringView("Host unreachable"), LoadError::HostUnreachable},
        {QLatin1StringView("Connection timed out"), LoadError::TimedOut},
    };
    for (const Reason& reason : reasons) {
        if (detail.contains(reason.words, Qt::CaseInsensitive))
            return reason.error;
    }
    return LoadError::ConnectionBroken;
}

} // namespace

LoadError loadErrorFor(QNetworkReply::NetworkError error, bool answered, QStringView detail)
{
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
        return LoadError::ConnectionRefused;
    case QNetworkReply::HostNotFoundError:
        return LoadError::HostNotFound;
    case QNetworkReply::TimeoutError:
        return LoadError::TimedOut;
    case QNetworkReply::SslHandshakeFailedError:
        return LoadError::TlsFailure;
    case QNetworkReply::RemoteHostClosedError:
        // Once the answer has begun, a closed connection means it was cut
        // off before the end its framing announced.
        return answered ? LoadError::CutOffAnswer : LoadError::ConnectionBroken;
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
        return LoadError::ConnectionBroken;
    case QNetworkReply::UnknownNetworkError:
        return socketFailure(detail);
    case QNetworkReply::TooManyRedirectsError:
        return LoadError::TooManyRedirects;
    case QNetworkReply::InsecureRedirectError:
        return LoadError::InsecureRedirect;
    case QNetworkReply::ProtocolFailure:
        return LoadError::DamagedAnswer;
    case QNetworkReply::ProtocolUnknownError:
        return LoadError::InvalidAddress;
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProxyTimeoutError:
    case QNetworkReply::ProxyAuthenticationRequiredError:
    case QNetworkReply::UnknownProxyError:
        return LoadError::ProxyFailure;
    default:
        return LoadError::Other;
    }
}

} // namespace parlowen
