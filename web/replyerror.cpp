// Qt's network errors in the user's terms.
#include "web/replyerror.h"

namespace parlowen {

LoadError loadErrorFor(QNetworkReply::NetworkError error, bool answered)
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
        return answered ? LoadError::CutOffAnswer : LoadError::Unreachable;
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::UnknownNetworkError:
        return LoadError::Unreachable;
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
