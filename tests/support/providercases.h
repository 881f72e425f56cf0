#pragma once
// One table of the providers Parlowen knows, each played by the simulator
// under its real host name: what a user types for it, what the provider
// keeps, and the verdict both front ends must reach, in the same words.

#include "sim/providersim.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace parlowen::test {

struct ProviderCase {
    QByteArray name;
    QString provider; // the simulator's name for it
    // The four fields as the README's table says to fill them in.
    QString serviceUrl;
    QString userName;
    QString password;
    QString host;
    sim::ProviderRecord record; // what the provider keeps before the check
    bool accepted;
    QString reason{}; // a part of the box's words for a refusal
    bool blocked = false;
};

// The address the router's log gives, and what the records hold before.
inline const QString RouterAddress = QStringLiteral("203.0.113.7");
inline const QString EarlierAddress = QStringLiteral("198.51.100.4");

const QList<ProviderCase>& providerCases();

} // namespace parlowen::test
