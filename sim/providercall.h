#pragma once
// What every simulated provider's answer is made of: the request with its
// parameters, the record the answer may change, and the pieces of answers
// the providers share.

#include "sim/fakehttpserver.h"
#include "sim/providersim.h"

#include <QHostAddress>
#include <QJsonArray>
#include <QJsonObject>

#include <optional>
#include <span>

namespace parlowen::sim {

// One request to the provider being played.
struct ProviderCall {
    const RecordedRequest& request;
    ProviderRecord& record;
    bool blocked;
    QString name; // the --provider key, for plays that serve a family of them
};

using Keys = std::span<const char* const>;

// A parameter of the query or, for a form POST, of the body; nothing when
// absent, an empty text when sent empty.
std::optional<QString> parameter(const RecordedRequest& request, const QString& key);
// The first of keys that is present (the table rows end their lists with nullptr).
std::optional<QString> firstParameter(const RecordedRequest& request, Keys keys);
// The value after "<scheme> " in the Authorization header, e.g. a Bearer token.
std::optional<QString> authorizationValue(const RecordedRequest& request, QByteArrayView scheme);

// An account field the provider checks: an empty expectation takes any value.
bool accepts(const QString& expected, const QString& given);

// A dotted quad of four decimal numbers, or an IPv6 address without a scope;
// nothing for anything else, the shorthand forms inet_aton takes included.
std::optional<QHostAddress> parseAddress(const QString& text);
// The address as providers write it back ("2001:db8::1", "203.0.113.7").
QString addressText(const QHostAddress& address);
// The address the request came from, the one providers take when none is sent.
QHostAddress sourceAddress(const RecordedRequest& request);
bool isIpv6(const QHostAddress& address);
bool isPrivateIpv4(const QHostAddress& address);

// The registered domain, and the record's name relative to it ("@" for the apex).
QString zoneOf(const ProviderRecord& record);
QString relativeName(const ProviderRecord& record);

// The record's value for a DNS type, "A" or "AAAA"; nullptr for any other.
QString* recordOfType(ProviderRecord& record, QStringView type);
// Whether text is an address of that type.
bool validFor(QStringView type, const QString& text);

FakeResponse textAnswer(int status, const QByteArray& body);
FakeResponse jsonAnswer(int status, const QJsonObject& body);
FakeResponse jsonAnswer(int status, const QJsonArray& body);
// 401 with a WWW-Authenticate challenge such as "Basic realm=\"...\"".
FakeResponse challengeAnswer(const QByteArray& challenge, const QByteArray& body);
// For providers that document no refusal of their own for a blocked or
// throttled client: HTTP's own.
FakeResponse throttledAnswer();

} // namespace parlowen::sim
