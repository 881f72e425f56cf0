#pragma once
// Rules the cascade drops that a browser may yet apply: what in them could
// change the text a page shows, so that the text they might hide is never
// trusted as shown.

#include "css/tokenizer.h"

#include <QByteArrayView>

#include <vector>

namespace parlowen {

class SheetReader;

// What a declaration block held that the cascade does not keep, though a
// browser may apply it.
struct UnreadDeclarations {
    // A declaration of a property the cascade reads, or of all, whose value
    // it could not read: the rule's elements may be shown otherwise.
    bool textValue = false;
    // Any declaration that could change the text, read or not: what counts
    // when the part not read is the rule's selector.
    bool changesText = false;
    // A rule nested in the block, read past, holding such a declaration:
    // the elements it applies to are unknown.
    bool nestedRule = false;
};

// A property the cascade reads, or all, which sets them too.
bool isTextProperty(QByteArrayView name);

// A declaration that could change the text: of a text property, of a custom
// property (a var() may carry it into one), or float or position, which
// make a box a block.
bool mayChangeText(QByteArrayView name);

// Notes a declaration of name in unread, read into the cascade or not.
void noteDeclaration(QByteArrayView name, bool read, UnreadDeclarations* unread);

// Reads past the block at the reader (an at-rule's, or a rule's nested in
// a declaration block); true when a declaration in it could change the text.
bool skipBlockNotingText(SheetReader& reader);

// Whether every selector of a rule's prelude ends in a pseudo-element: its
// declarations style that alone, never an element's text, however the rest
// of it reads.
bool stylesPseudoElementsOnly(const std::vector<CssToken>& prelude);

} // namespace parlowen
