// Every block starts with a header of one grain holding its size class, or
// its size with the top bit set for a large block, so that a freed block can
// go back on the right free list: gumbo hands back only the pointer.

#include "html/gumboarena.h"

#include <csetjmp>
#include <cstdlib>
#include <cstring>

namespace parlowen {

namespace {

using Header = std::size_t;
constexpr Header kLarge = Header(1) << (sizeof(Header) * 8 - 1);
static_assert(sizeof(Header) == 8);

} // namespace

GumboArena::~GumboArena()
{
    for (char* slab : m_slabs)
        std::free(slab);
}

void* GumboArena::allocate(void* arena, std::size_t size)
{
    return static_cast<GumboArena*>(arena)->take(size);
}

void GumboArena::deallocate(void* arena, void* block)
{
    if (block)
        static_cast<GumboArena*>(arena)->give(block);
}

void* GumboArena::take(std::size_t size)
{
    const std::size_t grains = (size + kGrain - 1) / kGrain + 1; // with the header
    if (grains <= kSmallClasses) {
        if (void* block = m_free[grains]) {
            std::memcpy(&m_free[grains], block, sizeof(void*));
            const Header header = grains;
            std::memcpy(block, &header, sizeof header);
            return static_cast<char*>(block) + kGrain;
        }
        const std::size_t bytes = grains * kGrain;
        if (std::size_t(m_slabEnd - m_next) < bytes) {
            if (m_footprint + kSlabBytes > m_budget)
                overBudget();
            char* slab = static_cast<char*>(std::malloc(kSlabBytes));
            if (!slab)
                overBudget();
            m_slabs.push_back(slab);
            m_footprint += kSlabBytes;
            m_next = slab;
            m_slabEnd = slab + kSlabBytes;
        }
        char* block = m_next;
        m_next += bytes;
        const Header header = grains;
        std::memcpy(block, &header, sizeof header);
        return block + kGrain;
    }
    const std::size_t bytes = grains * kGrain;
    if (m_footprint + bytes > m_budget)
        overBudget();
    char* block = static_cast<char*>(std::malloc(bytes));
    if (!block)
        overBudget();
    m_footprint += bytes;
    const Header header = bytes | kLarge;
    std::memcpy(block, &header, sizeof header);
    return block + kGrain;
}

void GumboArena::give(void* p)
{
    char* block = static_cast<char*>(p) - kGrain;
    Header header;
    std::memcpy(&header, block, sizeof header);
    if (header & kLarge) {
        m_footprint -= header & ~kLarge;
        std::free(block);
        return;
    }
    // The first word of a free block links to the next free block of its class.
    std::memcpy(block, &m_free[header], sizeof(void*));
    m_free[header] = block;
}

// Leaves gumbo by a long jump: gumbo is C and checks no allocation, so there
// is no other way out, and everything it allocated belongs to this arena.
void GumboArena::overBudget()
{
    std::longjmp(*static_cast<std::jmp_buf*>(m_escape), 1);
}

const GumboOutput* GumboArena::parse(QByteArrayView utf8)
{
    GumboOptions options = kGumboDefaultOptions;
    options.allocator = &GumboArena::allocate;
    options.deallocator = &GumboArena::deallocate;
    options.userdata = this;
    // Nothing reads gumbo's error list, and a broken page can fill it.
    options.max_errors = 0;
    std::jmp_buf escape;
    m_escape = &escape;
    if (setjmp(escape) != 0)
        return nullptr;
    return gumbo_parse_with_options(&options, utf8.data(), std::size_t(utf8.size()));
}

} // namespace parlowen
