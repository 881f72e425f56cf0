#pragma once
// The labels browsers accept for a page's encoding.

#include <optional>
#include <string_view>

namespace parlowen {

// The encoding a lower-case, trimmed label names, by the name Qt's ICU
// decodes it by; nothing for a label browsers ignore.
std::optional<std::string_view> encodingOfLabel(std::string_view label);

} // namespace parlowen
