// The routers and providers both front ends are tried against.
#include "support/checkcases.h"

namespace parlowen::test {

QByteArray routerLogPage(const QByteArray& wanLine)
{
    return "<html><body><table><tr><td>System Log</td></tr><tr><td><textarea rows=20 cols=80>\n"
           "Jan  1 00:00:01 kernel: eth0 link up\nJan  1 00:00:05 pppd: " +
           wanLine + "\nJan  1 00:00:06 ntp: time set\n</textarea></td></tr></table></body></html>";
}

namespace {
QList<CheckCase> makeCheckCases()
{
    const QByteArray log = routerLogPage();
    const QByteArray yes = "good: updated successfully";
    const QString documentation = "203.0.113.7 is an address reserved for documentation, not a public one";
    const QString noMarker = "the page has no \"WAN IP is \" line";
    const QString routerRefused = "The router refused the connection: nothing answers at this address";
    const QString providerRefused = "The provider refused the connection: nothing answers at this address";
    const QString routerTooLong = "The router took too long to answer. Check that it is switched on";
    const QString providerTooLong = "The provider took too long to answer. Try again later.";
    QByteArray bolds;
    for (int i = 0; i < 100000; ++i)
        bolds += "<div><b class=" + QByteArray::number(i) + ">WAN IP is 192.0.2.7</div>";
    const auto ok = Peer::Answers;
    using Shape = sim::DescriptionShape;
    const QByteArray noLine = routerLogPage("WAN IP: 192.0.2.1");
    const QByteArray unreadRule = "<style>.old{display:if(style(--k: 1): none; else: block)}</style>";
    const QByteArray stale = "<p class=old>WAN IP is 198.51.100.1</p>";
    const QString hidden = "may be one the page hides, so its address is not sent";
    // A log without the line, and the router's own service gives the address.
    const auto fromTheRouter = [&](const char* name, Shape shape, bool natPmp = false,
                                   bool chattyDevice = false) {
        return CheckCase{name, ok, 200, noLine, ok, 200, yes, Verdict::Accepted,
                         "198.51.100.20 is an address reserved for documentation", Gateway::Address,
                         "198.51.100.20", {}, shape, natPmp, chattyDevice};
    };
    // The log with a sheet of the router's that the page is read without,
    // and the command says which sheet. One the router does not have, a
    // browser does without too, and the address is sent; one that took too
    // long or was too large, a browser reads: what it hides is unknown.
    const auto withoutItsSheet = [&](const char* name, const QByteArray& sheet, Peer sheetPeer,
                                     int sheetStatus, const char* why, bool browserReadsIt) {
        return CheckCase{name, ok, 200, "<link rel=stylesheet href=syslog.css>" + log, ok, 200, yes,
                         browserReadsIt ? Verdict::NoAddress : Verdict::Accepted,
                         browserReadsIt ? hidden : documentation, Gateway::None, {}, sheet, Shape::Standard, false,
                         false, browserReadsIt, sheetPeer, sheetStatus,
                         QStringLiteral("Router page: style sheet http://127.0.0.1/doc/syslog.css not read: "
                                        "%1; the page is read without it.").arg(why)};
    };
    return {
        withoutItsSheet("a log whose sheet the router does not have", ".l{display:none}", ok, 404,
                        "it could not be loaded", false),
        withoutItsSheet("a log whose sheet never comes", ".l{display:none}", Peer::NeverAnswers, 200,
                        "it took too long to load", true),
        withoutItsSheet("a log whose sheet is too large", QByteArray(5 << 20, ' '), ok, 200,
                        "it is larger than a page's style sheet may be", true),
        {"a stale line hidden by a sheet linked without the log's :80", ok, 200,
         "<link rel=stylesheet href=http://127.0.0.1/doc/syslog.css><p class=old>WAN IP is 198.51.100.1</p>" +
             log,
         ok, 200, yes, Verdict::Accepted, documentation, Gateway::None, {}, ".old{display:none}"},
        {"the success phrase", ok, 200, log, ok, 200, yes, Verdict::Accepted, documentation},
        {"the success phrase in capitals", ok, 200, log, ok, 200, "UPDATED SUCCESSFULLY", Verdict::Accepted,
         documentation},
        {"dyndns2 good with the address", ok, 200, log, ok, 200, "good 203.0.113.7", Verdict::Accepted,
         documentation},
        {"dyndns2 nochg", ok, 200, log, ok, 200, "nochg 203.0.113.7", Verdict::Accepted, documentation},
        {"a private address is sent with a warning", ok, 200, routerLogPage("WAN IP is 192.168.0.5"), ok, 200,
         yes, Verdict::Accepted, "192.168.0.5 is a private address, not a public one"},
        {"a carrier-grade NAT address is sent with a warning", ok, 200, routerLogPage("WAN IP is 100.64.0.5"),
         ok, 200, yes, Verdict::Accepted, "100.64.0.5 is a carrier-grade NAT address"},
        {"text that is no address is never sent", ok, 200, routerLogPage("WAN IP is pending"), ok, 200, yes,
         Verdict::NoAddress, "the router's log gave \"pending\", which is not an IP address"},
        {"an address padded with zeros is sent as the router meant it", ok, 200,
         routerLogPage("WAN IP is  203.000.113.007 "), ok, 200, yes, Verdict::Accepted, documentation},
        {"badauth", ok, 200, log, ok, 200, "badauth", Verdict::NotAccepted,
         "The provider refused the update: badauth (wrong user name or password). Check both"},
        {"abuse", ok, 200, log, ok, 200, "abuse", Verdict::NotAccepted,
         "abuse (the host name is blocked for too many updates)"},
        {"911", ok, 200, log, ok, 200, "911", Verdict::NotAccepted, "911 (the provider has a problem)"},
        {"goodbye is no acceptance", ok, 200, log, ok, 200, "goodbye", Verdict::NotAccepted,
         "does not say that the update was accepted"},
        {"a server error page", ok, 200, log, ok, 500, "<p>Internal error</p>", Verdict::NotAccepted,
         "an error page (HTTP 500)"},
        {"a provider that is not listening",
         ok,
         200,
         log,
         Peer::NotListening,
         0,
         {},
         Verdict::NotAccepted,
         "The provider's answer did not arrive. " + providerRefused},
        {"a provider that never answers",
         ok,
         200,
         log,
         Peer::NeverAnswers,
         200,
         {},
         Verdict::NotAccepted,
         "The provider's answer did not arrive. " + providerTooLong},
        {"a wrong router password", Peer::WrongPassword, 200, log, ok, 200, yes, Verdict::NoAddress,
         "the router refused the password (HTTP 401)"},
        {"a page without the marker", ok, 200, routerLogPage("WAN IP: 192.0.2.1"), ok, 200, yes,
         Verdict::NoAddress, noMarker},
        {"a marker on the last line with no line break after it", ok, 200,
         "<p>log</p><p>WAN IP is 203.0.113.7</p>", ok, 200, yes, Verdict::NoAddress, "no line break ends it"},
        {"no log page", ok, 404, "Not found", ok, 200, yes, Verdict::NoAddress, "the page was not found"},
        {"a router that is not listening",
         Peer::NotListening,
         0,
         {},
         ok,
         200,
         yes,
         Verdict::NoAddress,
         routerRefused},
        {"a router that never answers",
         Peer::NeverAnswers,
         200,
         {},
         ok,
         200,
         yes,
         Verdict::NoAddress,
         routerTooLong},
        // A laptop away from home: the system says so at once, and so do both.
        {"no route to the router", Peer::NoRoute, 0, {}, ok, 200, yes, Verdict::NoAddress,
         "This computer has no route to the router's address: it is not connected to the router's network"},
        {"no route to the provider", ok, 200, log, Peer::NoRoute, 0, {}, Verdict::NotAccepted,
         "The provider's answer did not arrive. This computer has no route to the provider: it is not "
         "connected to a network that leads to the Internet"},
        // Once a stack overflow at every start of the window.
        {"30,000 unknown elements each closing the next one", ok, 200,
         QByteArray("<x><y></x>").repeated(30000), ok, 200, yes, Verdict::NoAddress, noMarker},
        {"a page too complex to read", ok, 200, bolds, ok, 200, yes, Verdict::NoAddress, "too complex"},
        // The router's UPnP service stands in for a log without the line,
        // and its answer is judged as the log's would be.
        {"no line in the log: the address from UPnP", ok, 200, routerLogPage("WAN IP: 192.0.2.1"), ok, 200,
         yes, Verdict::Accepted, "198.51.100.20 is an address reserved for documentation", Gateway::Address,
         "198.51.100.20"},
        {"no log page: the address from UPnP", ok, 404, "Not found", ok, 200, yes, Verdict::Accepted,
         "198.51.100.20 is an address reserved for documentation", Gateway::Address, "198.51.100.20"},
        // Only an address is ever sent, from either source.
        {"UPnP answers with no address: no public address of its own", ok, 200,
         routerLogPage("WAN IP: 192.0.2.1"), ok, 200, yes, Verdict::NoAddress,
         "UPnP service answered with no address: the router has no public address of its own, because the "
         "Internet provider shares one among many homes (carrier-grade NAT)",
         Gateway::Address, ""},
        {"UPnP answers all zeros", ok, 200, routerLogPage("WAN IP: 192.0.2.1"), ok, 200, yes, Verdict::NoAddress,
         "gave \"0.0.0.0\", an all-zero address that names no host", Gateway::Address, "0.0.0.0"},
        {"UPnP answers text", ok, 200, routerLogPage("WAN IP: 192.0.2.1"), ok, 200, yes, Verdict::NoAddress,
         "UPnP service gave \"pending\", which is not an IP address", Gateway::Address, "pending"},
        {"UPnP answers an octet out of range", ok, 200, routerLogPage("WAN IP: 192.0.2.1"), ok, 200, yes,
         Verdict::NoAddress, "gave \"999.1.1.1\", which is not an IP address", Gateway::Address, "999.1.1.1"},
        {"UPnP answers an IPv6 address", ok, 200, routerLogPage("WAN IP: 192.0.2.1"), ok, 200, yes,
         Verdict::NoAddress, "gave \"2001:db8::1\", an IPv6 address", Gateway::Address, "2001:db8::1"},
        {"UPnP answers an address with markup after it", ok, 200, routerLogPage("WAN IP: 192.0.2.1"), ok, 200,
         yes, Verdict::NoAddress, "gave \"203.0.113.9&amp", Gateway::Address, "203.0.113.9&amp"},
        {"UPnP answers an address cut by a buffer", ok, 200, routerLogPage("WAN IP: 192.0.2.1"), ok, 200, yes,
         Verdict::NoAddress, "gave \"203.0.113.9xxxx\", which is not", Gateway::Address, "203.0.113.9xxxx"},
        {"UPnP answers an address too long for miniupnpc's buffer", ok, 200, routerLogPage("WAN IP: 192.0.2.1"),
         ok, 200, yes, Verdict::NoAddress, "gave \"100.100.100.1000\", which is not", Gateway::Address,
         "100.100.100.1000"},
        {"UPnP answers an address and a line break", ok, 200, routerLogPage("WAN IP: 192.0.2.1"), ok, 200, yes,
         Verdict::NoAddress, "gave \"203.0.113.9\\nx\", which is not", Gateway::Address, "203.0.113.9\nx"},
        {"UPnP answers the broadcast address", ok, 200, routerLogPage("WAN IP: 192.0.2.1"), ok, 200, yes,
         Verdict::NoAddress, "a reserved or broadcast address", Gateway::Address, "255.255.255.255"},
        {"the log's address while the router connects", ok, 200, routerLogPage("WAN IP is 0.0.0.0"), ok, 200,
         yes, Verdict::NoAddress, "the router's log gave \"0.0.0.0\", an all-zero address"},
        {"the log's multicast address", ok, 200, routerLogPage("WAN IP is 224.0.0.1"), ok, 200, yes,
         Verdict::NoAddress, "\"224.0.0.1\", a multicast address"},
        {"the log's address with text after it", ok, 200, routerLogPage("WAN IP is 203.0.113.7 (PPPoE)"), ok,
         200, yes, Verdict::NoAddress, "\"203.0.113.7 (PPPoE)\", which is not an IP address"},
        {"the log's empty address", ok, 200, routerLogPage("WAN IP is "), ok, 200, yes, Verdict::NoAddress,
         "has no address after it"},
        {"the log's IPv6 address is sent", ok, 200, routerLogPage("WAN IP is 2001:db8::7"), ok, 200, yes,
         Verdict::Accepted, "2001:db8::7 is an address reserved for documentation"},
        {"UPnP answers with an error", ok, 200, routerLogPage("WAN IP: 192.0.2.1"), ok, 200, yes,
         Verdict::NoAddress, "refused to give its WAN address (error 501)", Gateway::Error},
        {"no UPnP gateway answers", ok, 200, routerLogPage("WAN IP: 192.0.2.1"), ok, 200, yes,
         Verdict::NoAddress, "neither its NAT-PMP service nor a UPnP gateway answered", Gateway::None},
        {"a UPnP device that is no gateway", ok, 200, routerLogPage("WAN IP: 192.0.2.1"), ok, 200, yes,
         Verdict::NoAddress, "offers no WAN connection over UPnP", Gateway::NotGateway},
        {"a UPnP gateway at another address", ok, 200, routerLogPage("WAN IP: 192.0.2.1"), ok, 200, yes,
         Verdict::NoAddress, "only a UPnP gateway at another address than the router's answered",
         Gateway::Elsewhere, "198.51.100.20"},
        // NAT-PMP is asked first, and what it gives is judged the same way.
        fromTheRouter("no line in the log: the address from NAT-PMP", Shape::Standard, true),
        {"NAT-PMP has no public address: network failure", ok, 200, noLine, ok, 200, yes, Verdict::NoAddress,
         "NAT-PMP service answered with no address: the router has no public address of its own",
         Gateway::Address, "", {}, Shape::Standard, true},
        // Descriptions as real routers lay them out.
        fromTheRouter("the address from UPnP, in a second WAN device", Shape::SecondWanDevice),
        fromTheRouter("the address from UPnP, over PPP alone", Shape::PppOnly),
        fromTheRouter("the address from UPnP, from a version 2 gateway", Shape::IgdV2),
        fromTheRouter("the address from UPnP, controlled on the port its URLBase names",
                      Shape::UrlBaseOtherPort),
        // A device that answers every search over and over holds no check.
        fromTheRouter("a chatty device beside the gateway", Shape::Standard, false, true),
        {"a chatty device and no gateway", ok, 200, noLine, ok, 200, yes, Verdict::NoAddress,
         "only a UPnP gateway at another address than the router's answered", Gateway::None, {}, {},
         Shape::Standard, false, true},
        // Asked for nothing: the log has the line, or the router refused.
        {"a log with the line leaves UPnP unasked", ok, 200, log, ok, 200, yes, Verdict::Accepted,
         documentation, Gateway::Address, "198.51.100.20"},
        {"a refused password leaves UPnP unasked", Peer::WrongPassword, 200, log, ok, 200, yes,
         Verdict::NoAddress, "the router refused the password (HTTP 401)", Gateway::Address, "198.51.100.20"},
        // The log's own style sheets decide its text, as in a browser: the
        // stale line is not read, the line ends where its block does.
        {"a stale line hidden by the log's linked sheet",
         ok,
         200,
         "<link rel=stylesheet href=syslog.css><p class=old>WAN IP is 198.51.100.1</p>" + log,
         ok,
         200,
         yes,
         Verdict::Accepted,
         documentation,
         Gateway::None,
         {},
         ".old{display:none}"},
        {"a stale line hidden by a rule at the end of the log", ok, 200,
         "<p class=old>WAN IP is 198.51.100.1</p>" + log + "<style>p.old{visibility:hidden}</style>", ok, 200,
         yes, Verdict::Accepted, documentation},
        {"log lines made blocks by the log's linked sheet",
         ok,
         200,
         "<link rel=stylesheet href=syslog.css><span class=l>Jan  1 pppd: WAN IP is 203.0.113.7</span>"
         "<span class=l>Jan  1 ntp: time set</span>",
         ok,
         200,
         yes,
         Verdict::Accepted,
         documentation,
         Gateway::None,
         {},
         ".l{display:block}"},
        // A rule Chromium reads and Parlowen cannot (if() since Chromium
        // 137, :state() since 125) may hide the line: it is never sent.
        {"a stale line a rule not read may hide: the address from UPnP", ok, 200, unreadRule + stale + log,
         ok, 200, yes, Verdict::Accepted, "198.51.100.20 is an address reserved for documentation",
         Gateway::Address, "198.51.100.20", {}, Shape::Standard, false, false, true},
        {"a stale line a rule not read may hide, and no gateway", ok, 200, unreadRule + stale + log, ok, 200,
         yes, Verdict::NoAddress, hidden, Gateway::None, {}, {}, Shape::Standard, false, false, true},
        {"a rule not read elsewhere leaves the line trusted", ok, 200,
         unreadRule + "<p class=old>System</p><hr>" + log, ok, 200, yes, Verdict::Accepted, documentation,
         Gateway::Address, "198.51.100.20"},
        {"a selector not read may hide any line", ok, 200,
         "<style>p:state(stale){display:none}</style>" + log, ok, 200, yes, Verdict::NoAddress, hidden,
         Gateway::None, {}, {}, Shape::Standard, false, false, true},
    };
}
} // namespace

const QList<CheckCase>& checkCases()
{
    static const QList<CheckCase> cases = makeCheckCases();
    return cases;
}

} // namespace parlowen::test
