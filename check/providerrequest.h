#pragma once
// One request of an update, as the check's steps build it: what the browser
// engine sends, and why, for the step line that tells of it.

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

namespace parlowen {

struct ProviderRequest {
    // What the request is for, as a step line says it: "finding the zone of
    // home.example.com"; empty for the update itself.
    QString purpose{};
    QByteArray method = "GET";
    QString url{};
    QList<QPair<QByteArray, QByteArray>> headers{};
    QByteArray body{};
    // Where the account goes: nowhere but the URL, in answer to the
    // server's challenge, or as Basic with the request itself.
    enum class SignIn { None, OnChallenge, WithRequest };
    SignIn signIn = SignIn::None;
    QString user{};
    QString password{};
    // The verdict reads the answer's bytes (XML, JSON), not only its text.
    bool keepBody = false;
};

} // namespace parlowen
