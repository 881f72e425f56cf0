#include "html/quirksmode.h"

#include "common/asciitext.h"

#include <QByteArrayView>

#include <algorithm>
#include <iterator>
#include <string_view>

namespace parlowen {

namespace {

// Public identifiers that start these mean quirks mode, in any letter case.
constexpr std::string_view kQuirkyPublicPrefixes[] = {
    "+//Silmaril//dtd html Pro v0r11 19970101//",
    "-//AS//DTD HTML 3.0 asWedit + extensions//",
    "-//AdvaSoft Ltd//DTD HTML 3.0 asWedit + extensions//",
    "-//IETF//DTD HTML 2.0 Level 1//",
    "-//IETF//DTD HTML 2.0 Level 2//",
    "-//IETF//DTD HTML 2.0 Strict Level 1//",
    "-//IETF//DTD HTML 2.0 Strict Level 2//",
    "-//IETF//DTD HTML 2.0 Strict//",
    "-//IETF//DTD HTML 2.0//",
    "-//IETF//DTD HTML 2.1E//",
    "-//IETF//DTD HTML 3.0//",
    "-//IETF//DTD HTML 3.2 Final//",
    "-//IETF//DTD HTML 3.2//",
    "-//IETF//DTD HTML 3//",
    "-//IETF//DTD HTML Level 0//",
    "-//IETF//DTD HTML Level 1//",
    "-//IETF//DTD HTML Level 2//",
    "-//IETF//DTD HTML Level 3//",
    "-//IETF//DTD HTML Strict Level 0//",
    "-//IETF//DTD HTML Strict Level 1//",
    "-//IETF//DTD HTML Strict Level 2//",
    "-//IETF//DTD HTML Strict Level 3//",
    "-//IETF//DTD HTML Strict//",
    "-//IETF//DTD HTML//",
    "-//Metrius//DTD Metrius Presentational//",
    "-//Microsoft//DTD Internet Explorer 2.0 HTML Strict//",
    "-//Microsoft//DTD Internet Explorer 2.0 HTML//",
    "-//Microsoft//DTD Internet Explorer 2.0 Tables//",
    "-//Microsoft//DTD Internet Explorer 3.0 HTML Strict//",
    "-//Microsoft//DTD Internet Explorer 3.0 HTML//",
    "-//Microsoft//DTD Internet Explorer 3.0 Tables//",
    "-//Netscape Comm. Corp.//DTD HTML//",
    "-//Netscape Comm. Corp.//DTD Strict HTML//",
    "-//O'Reilly and Associates//DTD HTML 2.0//",
    "-//O'Reilly and Associates//DTD HTML Extended 1.0//",
    "-//O'Reilly and Associates//DTD HTML Extended Relaxed 1.0//",
    "-//SQ//DTD HTML 2.0 HoTMetaL + extensions//",
    "-//SoftQuad Software//DTD HoTMetaL PRO 6.0::19990601::extensions to HTML 4.0//",
    "-//SoftQuad//DTD HoTMetaL PRO 4.0::19971010::extensions to HTML 4.0//",
    "-//Spyglass//DTD HTML 2.0 Extended//",
    "-//Sun Microsystems Corp.//DTD HotJava HTML//",
    "-//Sun Microsystems Corp.//DTD HotJava Strict HTML//",
    "-//W3C//DTD HTML 3 1995-03-24//",
    "-//W3C//DTD HTML 3.2 Draft//",
    "-//W3C//DTD HTML 3.2 Final//",
    "-//W3C//DTD HTML 3.2//",
    "-//W3C//DTD HTML 3.2S Draft//",
    "-//W3C//DTD HTML 4.0 Frameset//",
    "-//W3C//DTD HTML 4.0 Transitional//",
    "-//W3C//DTD HTML Experimental 19960712//",
    "-//W3C//DTD HTML Experimental 970421//",
    "-//W3C//DTD W3 HTML//",
    "-//W3O//DTD W3 HTML 3.0//",
    "-//WebTechs//DTD Mozilla HTML 2.0//",
    "-//WebTechs//DTD Mozilla HTML//",
};

// And these, when no system identifier follows.
constexpr std::string_view kQuirkyWithoutSystemPrefixes[] = {
    "-//W3C//DTD HTML 4.01 Frameset//",
    "-//W3C//DTD HTML 4.01 Transitional//",
};

bool startsAny(QByteArrayView text, const auto& prefixes)
{
    return std::any_of(std::begin(prefixes), std::end(prefixes), [text](std::string_view prefix) {
        return startsWithIgnoringCase(text, QByteArrayView(prefix.data(), qsizetype(prefix.size())));
    });
}

} // namespace

// gumbo 0.10.1 decides this too, but misses public identifiers that old
// routers' pages carry (HTML 4.0 Transitional, HTML 4.01 Transitional
// without a system identifier); what it does see, a doctype missing or
// broken, still counts. gumbo keeps no difference between a system
// identifier that is missing and one that is empty.
bool inQuirksMode(const GumboDocument& document)
{
    if (document.doc_type_quirks_mode == GUMBO_DOCTYPE_QUIRKS)
        return true;
    if (!document.has_doctype)
        return false;
    const QByteArrayView name(document.name ? document.name : "");
    const QByteArrayView publicId(document.public_identifier ? document.public_identifier : "");
    const QByteArrayView systemId(document.system_identifier ? document.system_identifier : "");
    const auto is = [](QByteArrayView text, const char* value) {
        return text.compare(QByteArrayView(value), Qt::CaseInsensitive) == 0;
    };
    return !is(name, "html") || is(publicId, "-//W3O//DTD W3 HTML Strict 3.0//EN//") ||
           is(publicId, "-/W3C/DTD HTML 4.0 Transitional/EN") || is(publicId, "HTML") ||
           is(systemId, "http://www.ibm.com/data/dtd/v11/ibmxhtml1-transitional.dtd") ||
           startsAny(publicId, kQuirkyPublicPrefixes) ||
           (systemId.isEmpty() && startsAny(publicId, kQuirkyWithoutSystemPrefixes));
}

} // namespace parlowen
