// The words a user reads when a page could not be loaded.
#include "web/loaderror.h"

#include "html/pagetext.h"

namespace parlowen {

namespace {

// How the words name the peer, and where its address is to be checked.
struct PeerWords {
    const char* who;     // "the router"
    const char* Who;     // "The router", to begin a sentence
    const char* address; // what to check when the address may be wrong
};

PeerWords wordsFor(LoadPeer peer)
{
    switch (peer) {
    case LoadPeer::Router:
        return {"the router", "The router", "the router address in the settings"};
    case LoadPeer::Provider:
        return {"the provider", "The provider", "the service URL under Service details"};
    case LoadPeer::Server:
        break;
    }
    return {"the server", "The server", "the address"};
}

// The sentence with {who}, {Who} and {address} filled in.
QString words(const char* sentence, const PeerWords& peer)
{
    return QString::fromUtf8(sentence)
        .replace(QLatin1String("{who}"), QLatin1String(peer.who))
        .replace(QLatin1String("{Who}"), QLatin1String(peer.Who))
        .replace(QLatin1String("{address}"), QLatin1String(peer.address));
}

// A laptop away from home has no route to the router at all: the words
// say so at once, instead of blaming a router that was never asked.
QString noRoute(LoadPeer peer)
{
    if (peer == LoadPeer::Provider) {
        return QStringLiteral("This computer has no route to the provider: it is not connected to a network "
                              "that leads to the Internet. Check that this computer is connected to the "
                              "router's network, by cable or Wi-Fi.");
    }
    return words(
        "This computer has no route to {who}'s address: it is not connected to {who}'s network, or to "
        "any network. Check that this computer is connected to the router's network, by cable or Wi-Fi; "
        "if it is, check {address}.",
        wordsFor(peer));
}

QString hostUnreachable(LoadPeer peer)
{
    if (peer == LoadPeer::Provider) {
        return words("{Who} cannot be reached: the network has no way to its address. Check {address}, then "
                     "try again later.",
                     wordsFor(peer));
    }
    return words(
        "Nothing answers at {who}'s address on the network: {who} is switched off, or the address is "
        "wrong. Check that {who} is switched on; if it is, check {address}.",
        wordsFor(peer));
}

QString timedOut(LoadPeer peer)
{
    if (peer == LoadPeer::Router) {
        return QStringLiteral("The router took too long to answer. Check that it is switched on and not "
                              "busy, then try again.");
    }
    return words("{Who} took too long to answer. Try again later.", wordsFor(peer));
}

QString damagedAnswer(LoadPeer peer)
{
    const QString what =
        words("{Who} sent a damaged answer that cannot be read safely. Trying again will not "
              "help: ",
              wordsFor(peer));
    if (peer == LoadPeer::Router)
        return what + QStringLiteral("restart the router, or check for a proxy or security program that "
                                     "alters web traffic.");
    return what + QStringLiteral("check for a proxy or security program that alters web traffic.");
}

// Only a router's web interface can be switched to another sign-in, and
// only a provider's address be one meant for update clients.
QString unsupportedSignIn(QStringView method, LoadPeer peer)
{
    const PeerWords names = wordsFor(peer);
    const QString what = QStringLiteral("%1 asks for %2, which Parlowen does not support. ")
                             .arg(QLatin1String(names.Who), method);
    if (peer == LoadPeer::Router)
        return what + QStringLiteral("Switch the router's web interface to Basic or Digest sign-in with MD5 "
                                     "or SHA-256 if it offers that.");
    if (peer == LoadPeer::Provider)
        return what + QStringLiteral("Check %1: an address for update clients takes Basic or Digest sign-in.")
                          .arg(QLatin1String(names.address));
    return what + QStringLiteral("Only Basic and Digest sign-in are.");
}

} // namespace

QString toString(LoadError error, LoadPeer peer)
{
    const PeerWords names = wordsFor(peer);
    switch (error) {
    case LoadError::None:
        return QStringLiteral("The page was loaded.");
    case LoadError::InvalidAddress:
        return QStringLiteral("The address is not a web address that can be loaded. "
                              "Check that it starts with http:// or https:// and names a device.");
    case LoadError::ConnectionRefused:
        return words(
            "{Who} refused the connection: nothing answers at this address and port. Check {address}, and "
            "that {who} is switched on.",
            names);
    case LoadError::HostNotFound:
        return words(
            "The name of {who} could not be found. Check its spelling in {address}, and that this computer "
            "is connected to the network.",
            names);
    case LoadError::NoRoute:
        return noRoute(peer);
    case LoadError::HostUnreachable:
        return hostUnreachable(peer);
    case LoadError::ConnectionBroken:
        return words("{Who} broke off the connection before answering. Check the network connection and try "
                     "again.",
                     names);
    case LoadError::TimedOut:
        return timedOut(peer);
    case LoadError::TlsFailure:
        return words("A secure connection to {who} could not be made: its certificate is not trusted or the "
                     "encryption failed. Check {address}; do not trust a site whose certificate is wrong.",
                     names);
    case LoadError::TooLarge:
        return QStringLiteral(
            "The page is too large to load. Check that the address points to the right page.");
    case LoadError::PageTooComplex:
        return toString(PageTextError::TooComplex) +
               QStringLiteral(" Check that the address points to the right page.");
    case LoadError::TooManyRedirects:
        return words(
            "{Who} sent the browser on to other addresses too many times. Check {address}; the site may be "
            "set up wrongly.",
            names);
    case LoadError::InsecureRedirect:
        return words(
            "The secure page of {who} tried to send the browser on to an insecure address, which was "
            "refused. Check {address}.",
            names);
    case LoadError::ProxyFailure:
        return QStringLiteral("The proxy server set for this computer could not be used. "
                              "Check the proxy settings (http_proxy, https_proxy) and try again.");
    case LoadError::CutOffAnswer:
        return words(
            "{Who} stopped sending before the whole answer had arrived. Check the network connection "
            "and try again.",
            names);
    case LoadError::DamagedAnswer:
        return damagedAnswer(peer);
    case LoadError::NtlmSignIn:
        return unsupportedSignIn(u"NTLM sign-in", peer);
    case LoadError::NegotiateSignIn:
        return unsupportedSignIn(u"Negotiate (Kerberos) sign-in", peer);
    case LoadError::DigestVariant:
        return unsupportedSignIn(u"Digest sign-in with a hash other than MD5 and SHA-256, or with a "
                                 u"protection other than \"auth\"",
                                 peer);
    case LoadError::UnknownSignIn:
        return unsupportedSignIn(u"a sign-in method other than Basic and Digest", peer);
    case LoadError::Other:
        break;
    }
    return QStringLiteral(
        "The page could not be loaded because of an unexpected network error. Try again later.");
}

} // namespace parlowen
