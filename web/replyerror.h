#pragma once
// What a failed QNetworkReply means for the user.

#include "web/loaderror.h"

#include <QNetworkReply>

namespace parlowen {

// For a reply that ended without a usable answer. `answered` tells whether a
// status line had arrived before the error; `detail` is the reply's error
// string, which alone tells the socket failures Qt lumps together apart.
LoadError loadErrorFor(QNetworkReply::NetworkError error, bool answered, QStringView detail);

// Errors that mean no usable answer arrived, even when a status line did (a
// transfer cut off may have a 200). HTTP error statuses are not among them:
// their pages are shown as the server sent them.
// A framing that cannot be read (ProtocolFailure) is among them.
inline bool isTransportFailure(QNetworkReply::NetworkError error)
{
    return (error > QNetworkReply::NoError && error < QNetworkReply::ContentAccessDenied) ||
           error == QNetworkReply::ProtocolFailure;
}

} // namespace parlowen
