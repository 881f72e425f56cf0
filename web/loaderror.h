#pragma once
// Why a page could not be loaded, kept apart from the HTTP status of pages
// that did arrive.

#include <QString>

namespace parlowen {

enum class LoadError {
    None,
    InvalidAddress,    // not an http/https URL we can load
    ConnectionRefused, // nothing listens at that address and port
    HostNotFound,      // the name does not resolve
    NoRoute,           // this computer has no route to the address: no network, or another one
    HostUnreachable,   // the network has no host at the address, or it does not answer there
    ConnectionBroken,  // the connection was reset or closed before any answer
    TimedOut,          // the whole load took longer than the time limit
    TlsFailure,        // certificate not trusted, or the TLS handshake failed
    TooLarge,          // the answer is bigger than the size limit
    PageTooComplex,    // the page nests or repeats elements far beyond any real page
    TooManyRedirects,  // more redirects than the limit
    InsecureRedirect,  // a redirect from https to http
    ProxyFailure,      // the configured proxy could not be used
    CutOffAnswer,      // the connection ended before the announced end of the answer
    DamagedAnswer,     // framing or compression that cannot be read as it stands
    NtlmSignIn,        // the password is asked for only by NTLM, which is never answered
    NegotiateSignIn,   // likewise for Negotiate (Kerberos)
    DigestVariant,     // Digest with a hash or protection other than MD5 or SHA-256 with "auth"
    UnknownSignIn,     // a sign-in method other than Basic, Digest, NTLM and Negotiate
    Other,
};

// Whom a load asked, named in the words of its failure: the router's page
// and the provider's answer fail in words of their own, what to do
// included; any other page is a server's.
enum class LoadPeer { Server, Router, Provider };

// Sentences for the user: what went wrong and what to try.
QString toString(LoadError error, LoadPeer peer = LoadPeer::Server);

} // namespace parlowen
