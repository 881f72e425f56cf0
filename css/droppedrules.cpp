#include "css/droppedrules.h"

#include "css/sheetreader.h"

#include "common/asciitext.h"

#include <QByteArray>

#include <algorithm>
#include <array>
#include <utility>

namespace parlowen {

namespace {

using Type = CssToken::Type;

bool isOneOf(QByteArrayView name, const auto& names)
{
    return std::any_of(names.begin(), names.end(),
                       [name](const char* known) { return equalsIgnoringCase(name, known); });
}

} // namespace

bool isTextProperty(QByteArrayView name)
{
    static constexpr std::array textProperties = {"display",     "visibility",           "content-visibility",
                                                  "white-space", "white-space-collapse", "text-transform",
                                                  "all"};
    return isOneOf(name, textProperties);
}

bool mayChangeText(QByteArrayView name)
{
    static constexpr std::array layoutProperties = {"float", "position"};
    return name.startsWith("--") || isTextProperty(name) || isOneOf(name, layoutProperties);
}

void noteDeclaration(QByteArrayView name, bool read, UnreadDeclarations* unread)
{
    if (!unread || (!read && !mayChangeText(name)))
        return;
    unread->changesText = true;
    unread->textValue = unread->textValue || (!read && isTextProperty(name));
}

bool skipBlockNotingText(SheetReader& reader)
{
    std::vector<Type> closers;
    bool found = false;
    // The last token other than white space named such a declaration.
    bool named = false;
    do {
        const CssToken& t = reader.current();
        if (t.is(Type::End))
            break;
        if (t.is(Type::LeftCurly) || t.is(Type::LeftParen) || t.is(Type::LeftSquare) || t.is(Type::Function))
            closers.push_back(t.is(Type::LeftCurly)    ? Type::RightCurly
                              : t.is(Type::LeftSquare) ? Type::RightSquare
                                                       : Type::RightParen);
        else if (!closers.empty() && t.type == closers.back())
            closers.pop_back();
        if (!t.is(Type::Whitespace)) {
            found = found || (named && t.is(Type::Colon));
            named = !found && t.is(Type::Ident) && mayChangeText(t.text);
        }
        reader.advance();
    } while (!closers.empty());
    return found;
}

bool stylesPseudoElementsOnly(const std::vector<CssToken>& prelude)
{
    int nesting = 0;
    bool pseudoElement = false;
    for (size_t i = 0; i < prelude.size(); ++i) {
        const CssToken& t = prelude[i];
        if (t.is(Type::Function) || t.is(Type::LeftParen) || t.is(Type::LeftSquare))
            ++nesting;
        else if ((t.is(Type::RightParen) || t.is(Type::RightSquare)) && nesting > 0)
            --nesting;
        else if (nesting == 0 && t.is(Type::Comma) && !std::exchange(pseudoElement, false))
            return false;
        else if (nesting == 0 && t.is(Type::Colon) && i + 1 < prelude.size() &&
                 prelude[i + 1].is(Type::Colon))
            pseudoElement = true;
    }
    return pseudoElement;
}

} // namespace parlowen
