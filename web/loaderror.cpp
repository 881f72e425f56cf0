// The words a user reads when a page could not be loaded.
#include "web/loaderror.h"

#include "html/pagetext.h"

namespace parlowen {

namespace {
QString unsupportedSignIn(QStringView method)
{
    return QStringLiteral("The router asks for %1 sign-in, which Parlowen does not support. Switch the "
                          "router's web interface to Basic or Digest sign-in if it offers that.")
        .arg(method);
}
} // namespace

QString toString(LoadError error)
{
    switch (error) {
    case LoadError::None:
        return QStringLiteral("The page was loaded.");
    case LoadError::InvalidAddress:
        return QStringLiteral("The address is not a web address that can be loaded. "
                              "Check that it starts with http:// or https:// and names a device.");
    case LoadError::ConnectionRefused:
        return QStringLiteral("The connection was refused: nothing answers at this address and port. "
                              "Check the address and that the device is switched on.");
    case LoadError::HostNotFound:
        return QStringLiteral("The device name could not be found. "
                              "Check the spelling of the address, or use its numeric address instead.");
    case LoadError::Unreachable:
        return QStringLiteral("The device could not be reached, or it broke off the connection. "
                              "Check the network cable or Wi-Fi connection and try again.");
    case LoadError::TimedOut:
        return QStringLiteral("The device took too long to answer. "
                              "Check that it is switched on and not busy, then try again.");
    case LoadError::TlsFailure:
        return QStringLiteral("A secure connection could not be made: the site's certificate is not "
                              "trusted or the encryption failed. Check the address; do not trust a site "
                              "whose certificate is wrong.");
    case LoadError::TooLarge:
        return QStringLiteral(
            "The page is too large to load. Check that the address points to the right page.");
    case LoadError::PageTooComplex:
        return toString(PageTextError::TooComplex) +
               QStringLiteral(" Check that the address points to the right page.");
    case LoadError::TooManyRedirects:
        return QStringLiteral("The page sent the browser on to other addresses too many times. "
                              "Check the address; the site may be set up wrongly.");
    case LoadError::InsecureRedirect:
        return QStringLiteral("The secure page tried to send the browser on to an insecure address, "
                              "which was refused. Check the address with the site's provider.");
    case LoadError::ProxyFailure:
        return QStringLiteral("The proxy server set for this computer could not be used. "
                              "Check the proxy settings (http_proxy, https_proxy) and try again.");
    case LoadError::CutOffAnswer:
        return QStringLiteral("The device stopped sending before the whole page had arrived. "
                              "Check the network connection and try again.");
    case LoadError::DamagedAnswer:
        return QStringLiteral("The device sent a damaged answer that cannot be read safely. Trying again "
                              "will not help: restart the device, or check for a proxy or security program "
                              "that alters web traffic.");
    case LoadError::NtlmSignIn:
        return unsupportedSignIn(u"NTLM");
    case LoadError::NegotiateSignIn:
        return unsupportedSignIn(u"Negotiate (Kerberos)");
    case LoadError::DigestVariant:
        return QStringLiteral("The router asks for Digest sign-in with a hash other than MD5 and SHA-256, or "
                              "with a protection other than \"auth\", which Parlowen does not support. "
                              "Switch the router's web interface to Basic or Digest sign-in with MD5 or "
                              "SHA-256 if it offers that.");
    case LoadError::UnknownSignIn:
        return QStringLiteral("The router asks for a sign-in method that Parlowen does not support: only "
                              "Basic and Digest sign-in are. Switch the router's web interface to one of "
                              "them if it offers that.");
    case LoadError::Other:
        break;
    }
    return QStringLiteral(
        "The page could not be loaded because of an unexpected network error. Try again later.");
}

} // namespace parlowen
