#pragma once
// What the default style sheet and the page's cascade say about how an
// element is rendered: hidden or not, block or inline, its white space and
// text transform, and whether it is an atomic inline box.

#include "css/cascade.h"
#include "html/textcollector.h"

#include <gumbo.h>

#include <QByteArrayView>

namespace parlowen {

enum class TablePart { None, Table, Caption, RowGroup, Row, Cell };

struct Box {
    enum class Kind {
        Inline,
        // Replaced content or a control: no text of its own, but content
        // for white-space collapsing (an image, an input, a canvas, ...).
        Atomic,
        // An inline box whose content is laid out inside it (a button, a
        // select, an svg drawing).
        InlineBlock,
    };
    Kind kind = Kind::Inline;
    // Line breaks required around the box: 1 for a block, 2 for a paragraph.
    int breaks = 0;
    WhiteSpace whiteSpace = WhiteSpace::Collapse;
    // False inside an svg drawing, outside its text elements.
    bool textShown = true;
    bool inSvg = false;
    // visibility: hidden hides the box's own text, breaks and separators,
    // not what a visible child inside it shows.
    bool visible = true;
    // content-visibility: hidden on a box that is not inline: nothing
    // inside it is shown.
    bool contentSkipped = false;
    // content-visibility: hidden, whatever the box, for a child that
    // inherits it.
    bool contentHidden = false;
    // A block that asks for no breaks, being hidden or its content
    // skipped, still ends the line before it and starts a new one after.
    bool endsLine = false;
    TextTransform transform = TextTransform::None;
    // The case rules of the element's language, for its transform.
    CaseLanguage language = CaseLanguage::Other;
    // A float or an absolutely positioned box: a block of its own, while
    // the line around it goes on as if it were not there.
    bool outOfFlow = false;
    // A flex or grid container, whose children are blocks.
    bool blockifiesChildren = false;
    // Its part in a table by its display, for the tabs and line breaks.
    TablePart tablePart = TablePart::None;
};

// False for elements neither they nor their children are rendered; style
// is the element's, from its cascade.
bool isRendered(const GumboNode* element, const DeclaredStyle& style);

// The box of a rendered element, inside its parent's box.
Box boxOf(const GumboNode* element, const DeclaredStyle& style, const Box& parent);

// The element's part in a table: its tag's, unless its display says another.
TablePart tablePartOf(const GumboNode* element, const DeclaredStyle& style);

// The case rules of a language tag ("tr", "lt-LT", ...).
CaseLanguage caseLanguageOf(QByteArrayView languageTag);

// The language of a document's body: its root's lang attribute, or else
// what a Content-Language meta element in its head says.
CaseLanguage documentLanguage(const GumboNode* root);

} // namespace parlowen
