#pragma once
// The media queries a screen of 1024 by 768 pixels matches.

#include "css/tokenizer.h"

#include <vector>

namespace parlowen {

// True when a media query list (the prelude of @media, or a media
// attribute) matches a screen 1024 pixels wide and 768 high. Anything not
// understood matches nothing, as an unknown feature does in a browser.
bool screenMatchesMedia(const std::vector<CssToken>& prelude);

} // namespace parlowen
