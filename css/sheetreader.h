#pragma once
// A sheet, or a style attribute, read token by token: component values
// and declaration blocks.

#include "css/declaration.h"
#include "css/droppedrules.h"
#include "css/tokenizer.h"

#include <QByteArray>
#include <QByteArrayView>

#include <vector>

namespace parlowen {

class SheetReader {
public:
    SheetReader(QByteArrayView text, WorkBudget& work) : m_tokenizer(text, work)
    {
        advance();
    }

    const CssToken& current() const { return m_current; }
    void advance() { m_current = m_tokenizer.next(); }
    const QByteArray& text() const { return m_tokenizer.text(); }

    // A place to read again from: a nested rule that began like a
    // declaration is read once as each.
    struct Mark {
        qsizetype position;
        CssToken current;
    };
    Mark mark() const { return {m_tokenizer.position(), m_current}; }
    void rewind(const Mark& mark)
    {
        m_tokenizer.seek(mark.position);
        m_current = mark.current;
    }

    // Consumes one component value (a block or function with all of its
    // content), keeping at most limit tokens of it in out.
    void component(std::vector<CssToken>* out, size_t limit);

    // The declarations of a block, up to its closing brace (consumed), or
    // of a whole style attribute; with unread, what of it a browser may
    // apply that out does not hold.
    void declarations(std::vector<Declaration>& out, UnreadDeclarations* unread = nullptr);

    // An empty list for the tokens of the declaration being read: one list,
    // kept from one declaration to the next, so that a sheet's thousands of
    // values need no list of their own.
    std::vector<CssToken>& valueTokens()
    {
        m_valueTokens.clear();
        return m_valueTokens;
    }

private:
    // A nested rule or junk: read past, to a semicolon or through the block
    // it ends with.
    void skipJunk(UnreadDeclarations* unread);

    CssTokenizer m_tokenizer;
    CssToken m_current;
    std::vector<CssToken> m_valueTokens;
};

// Room made at once for a selector list's tokens: most rules' fit.
inline constexpr size_t kTypicalSelectorTokens = 16;

// A declaration's value read into out (several for "all"), its tokens in
// sheet; with unread, what of it a browser may apply that out does not hold.
void readDeclaration(const QByteArray& name, const std::vector<CssToken>& value, size_t limit,
                     const QByteArray& sheet, std::vector<Declaration>& out, UnreadDeclarations* unread);

// The declarations of a style attribute, in their order.
std::vector<Declaration> styleAttributeDeclarations(QByteArrayView style, WorkBudget& work,
                                                    UnreadDeclarations* unread = nullptr);

} // namespace parlowen
