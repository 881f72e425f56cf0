#pragma once
// What the default style sheet (and an element's own style attribute) says
// about how an element is rendered: hidden or not, block or inline, its white
// space, and whether it is an atomic inline box.

#include "html/textcollector.h"

#include <gumbo.h>

namespace parlowen {

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
};

// False for elements neither they nor their children are rendered.
bool isRendered(const GumboNode* element);

// The box of a rendered element, inside its parent's box.
Box boxOf(const GumboNode* element, const Box& parent);

} // namespace parlowen
