#pragma once
// One table of routers and providers behaving well and badly, run through
// the window and through parlowen-check alike: both must reach the same
// verdict and give the same reason in the same words.

#include "sim/upnpdevice.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace parlowen::test {

// How the fake router or provider behaves beyond its status code.
enum class Peer {
    Answers,       // with the case's status and body
    NotListening,  // nothing behind its port
    NeverAnswers,  // takes the request and keeps silent
    WrongPassword, // the router expects another password
    NoRoute,       // at 192.0.2.1, to which the private network has no route
};

enum class Verdict { Accepted, NotAccepted, NoAddress };

// The router's UPnP service, asked when its log gives no address.
enum class Gateway {
    None,       // nothing on the network answers a search
    Address,    // answers gatewayAddress
    Error,      // answers with a UPnP error
    NotGateway, // a device that is no gateway
    Elsewhere,  // a working gateway, at another address than the router's
};

struct CheckCase {
    const char* name;
    Peer router;
    int routerStatus;
    QByteArray page;
    Peer provider;
    int providerStatus;
    QByteArray answer;
    Verdict verdict;
    // Words both front ends show: the window in its box, the command in its
    // lines. For an accepted update, the warning it comes with, if any.
    QString reason;
    Gateway gateway = Gateway::None;
    QByteArray gatewayAddress{};
    // The router's style sheet beside its log page, syslog.css, if any.
    QByteArray sheet{};
    // How the gateway's description is laid out, and whether it answers
    // NAT-PMP too.
    sim::DescriptionShape shape = sim::DescriptionShape::Standard;
    bool natPmp = false;
    // A device beside the router that answers every search and never stops.
    bool chattyDevice = false;
    // The log's line lies where a style rule Parlowen cannot read might
    // hide it: the router's services are asked in its place.
    bool lineMayBeHidden = false;
    // How the router answers for syslog.css, and the line the command
    // shows among its steps for it, if any.
    Peer sheetPeer = Peer::Answers;
    int sheetStatus = 200;
    QString sheetStep{};
};

const QList<CheckCase>& checkCases();

// A router's log page with this line among others.
QByteArray routerLogPage(const QByteArray& wanLine = "WAN IP is 203.0.113.7");

} // namespace parlowen::test
