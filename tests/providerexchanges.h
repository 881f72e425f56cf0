#pragma once
// The exchanges tst_providersim holds each simulated provider to: what is
// sent, and what the provider answers and leaves in its record.

#include <QByteArray>
#include <QMetaType>
#include <QString>

inline const QString kept = QStringLiteral("198.51.100.4");
inline const QString keptV6 = QStringLiteral("2001:db8::4");
inline const QString sent = QStringLiteral("203.0.113.7");
inline const QString sentV6 = QStringLiteral("2001:db8::7");
inline const QString source = QStringLiteral("127.0.0.1");
inline const QString deleted = QString();

// One request as a row sends it; Host, Content-Length and Connection are added.
struct Exchange {
    QByteArray target;
    QByteArray headers = {};
    QByteArray method = "GET";
    QByteArray body = {};
    bool agent = true; // sends a User-Agent
    QString host = {}; // empty: the provider's own
};

Q_DECLARE_METATYPE(Exchange)

struct Expected {
    int status = 200;
    QByteArray answer{}; // a part of the body
    QString address = kept;
    QString addressV6 = keptV6;
    QByteArray challenge = {}; // the start of WWW-Authenticate; empty: none
    bool blocked = false;      // the provider plays a blocked account
};

// Rows of tst_providersim's answers(), by the kind of provider.
void addDyndns2Rows();
void addUrlRows();
void addApiRows();
