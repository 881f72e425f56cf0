#pragma once
// What the preludes of @layer, @scope and an @import's layer() say.

#include "css/cascaderules.h"
#include "css/tokenizer.h"

#include <QByteArray>

#include <optional>
#include <vector>

namespace parlowen {

// The dotted names of "@layer a, b.c", none for an anonymous layer, or
// nullopt when the prelude names no layers.
std::optional<std::vector<QByteArray>> layerNames(const std::vector<CssToken>& prelude, size_t begin,
                                                  size_t end);

// "(start) to (limit)", either part read as a selector list; nullopt when
// either does not read, or the prelude names no start: the element a
// <style> stands in is not known here.
std::optional<ScopeRange> scopeRange(const std::vector<CssToken>& prelude, const QByteArray& text);

// What follows an @import's address: "layer" or "layer(name)", then
// "supports(...)", then the media.
struct ImportConditions {
    bool layered = false;
    // Empty for an anonymous layer.
    QByteArray layerName;
    bool supported = true;
    std::vector<CssToken> media;
};
std::optional<ImportConditions> importConditions(const std::vector<CssToken>& prelude, size_t i,
                                                 const QByteArray& text);

} // namespace parlowen
