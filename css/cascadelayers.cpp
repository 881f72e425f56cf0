#include "css/cascadelayers.h"

#include <QList>

#include <utility>

namespace parlowen {

uint32_t CascadeLayers::child(uint32_t parent, const QByteArray& name)
{
    for (const uint32_t existing : m_layers[parent].children) {
        if (!m_layers[existing].name.isEmpty() && m_layers[existing].name == name)
            return existing;
    }
    const auto index = uint32_t(m_layers.size());
    m_layers.push_back({parent, name, {}});
    m_layers[parent].children.push_back(index);
    return index;
}

uint32_t CascadeLayers::named(uint32_t parent, QByteArrayView dottedName)
{
    uint32_t layer = parent;
    for (const QByteArray& part : dottedName.toByteArray().split('.'))
        layer = child(layer, part);
    return layer;
}

uint32_t CascadeLayers::anonymous(uint32_t parent)
{
    return child(parent, QByteArray());
}

void CascadeLayers::rank()
{
    m_rank.assign(m_layers.size(), 0);
    uint32_t next = 0;
    // Depth first, each layer ranked after all of its sublayers.
    std::vector<std::pair<uint32_t, size_t>> stack{{kUnlayered, 0}};
    while (!stack.empty()) {
        auto& [layer, nextChild] = stack.back();
        if (nextChild < m_layers[layer].children.size()) {
            const uint32_t sub = m_layers[layer].children[nextChild++];
            stack.emplace_back(sub, 0);
            continue;
        }
        m_rank[layer] = next++;
        stack.pop_back();
    }
}

} // namespace parlowen
