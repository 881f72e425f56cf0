#pragma once
// The cascade layers of a page's sheets: named or anonymous, nested, in the
// order they were first met, which decides between two rules before their
// specificity does.

#include <QByteArray>
#include <QByteArrayView>

#include <cstdint>
#include <vector>

namespace parlowen {

class CascadeLayers {
public:
    // Rules outside any layer.
    static constexpr uint32_t kUnlayered = 0;

    CascadeLayers() : m_layers(1) {}

    // The layer a dotted name (a.b.c) names inside parent, made where it is
    // not yet known.
    uint32_t named(uint32_t parent, QByteArrayView dottedName);
    // A layer of its own inside parent, which no name reaches.
    uint32_t anonymous(uint32_t parent);

    // Fixes each layer's rank once all sheets are read: a layer's sublayers
    // come before the layer's own rules, and the unlayered rules last.
    void rank();
    // How a declaration of layer weighs before specificity: later layers win
    // for normal declarations, earlier ones, and any layer over none, for
    // important ones.
    uint32_t weight(uint32_t layer, bool important) const
    {
        const uint32_t rank = m_rank[layer];
        return important ? uint32_t(m_layers.size()) - 1 - rank : rank;
    }

private:
    struct Layer {
        uint32_t parent = 0;
        QByteArray name;
        std::vector<uint32_t> children;
    };
    uint32_t child(uint32_t parent, const QByteArray& name);

    std::vector<Layer> m_layers;
    std::vector<uint32_t> m_rank;
};

} // namespace parlowen
