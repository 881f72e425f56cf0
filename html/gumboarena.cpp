// Every block is preceded by a header of one grain holding its size class, or
// its size with the top bit set for a large block, so that a freed block can
// go back on the right free list: gumbo hands back only the pointer.

#include "html/gumboarena.h"

#include "html/gumbohooks.h"

#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace parlowen {

namespace {

constexpr GumboArena::Header kLarge = GumboArena::Header(1) << (sizeof(GumboArena::Header) * 8 - 1);

// What one allocation counts for each entry of gumbo's two lists.
constexpr std::uint64_t kStepsPerOpenElement = 2;
constexpr std::uint64_t kStepsPerFormattingElement = 2;

std::uint64_t lengthOf(const GumboVector* list)
{
    return list ? list->length : 0;
}

} // namespace

GumboArena::~GumboArena()
{
    for (char* slab : m_slabs)
        std::free(slab);
    while (m_large)
        std::free(std::exchange(m_large, m_large->next));
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

// gumbo allocates for every tag and every node it makes, and for each of
// those it may walk its stack of open elements and its list of active
// formatting elements in loops of its own, which no hook sees. Such a loop
// tests each element it passes against a set of up to a dozen tags, or
// compares its attributes, so a step of one costs several of a list search.
void* GumboArena::take(std::size_t size)
{
    spend(1 + kStepsPerOpenElement * lengthOf(m_openElements) +
            kStepsPerFormattingElement * lengthOf(m_activeFormatting));
    const std::size_t grains = (size + kGrain - 1) / kGrain + 1; // with the header
    return grains <= kSmallClasses ? takeSmall(grains) : takeLarge(size);
}

std::uint64_t GumboArena::workBudget(std::size_t pageBytes)
{
    return kWorkPerPageByte * pageBytes + kWorkForAnyPage;
}

void* GumboArena::takeSmall(std::size_t grains)
{
    if (void* block = m_free[grains]) {
        std::memcpy(&m_free[grains], block, sizeof(void*));
        const Header header = grains;
        std::memcpy(block, &header, sizeof header);
        return static_cast<char*>(block) + kGrain;
    }
    const std::size_t bytes = grains * kGrain;
    if (std::size_t(m_slabEnd - m_next) < bytes) {
        if (m_footprint + m_slabBytes > m_budget)
            overBudget();
        char* slab = static_cast<char*>(std::malloc(m_slabBytes));
        if (!slab)
            overBudget();
        m_slabs.push_back(slab);
        m_footprint += m_slabBytes;
        m_next = slab;
        m_slabEnd = slab + m_slabBytes;
    }
    char* block = m_next;
    m_next += bytes;
    const Header header = grains;
    std::memcpy(block, &header, sizeof header);
    return block + kGrain;
}

// A large block is malloc's own, linked into a list so that the arena can
// free those gumbo still holds when the tree goes.
void* GumboArena::takeLarge(std::size_t size)
{
    const std::size_t bytes = sizeof(LargeBlock) + size;
    if (m_footprint + bytes > m_budget)
        overBudget();
    auto* block = static_cast<LargeBlock*>(std::malloc(bytes));
    if (!block)
        overBudget();
    m_footprint += bytes;
    *block = {nullptr, m_large, bytes | kLarge};
    if (m_large)
        m_large->prev = block;
    m_large = block;
    return block + 1;
}

void GumboArena::give(void* p)
{
    Header header;
    std::memcpy(&header, static_cast<char*>(p) - kGrain, sizeof header);
    if (header & kLarge) {
        auto* block = static_cast<LargeBlock*>(p) - 1;
        (block->prev ? block->prev->next : m_large) = block->next;
        if (block->next)
            block->next->prev = block->prev;
        m_footprint -= header & ~kLarge;
        std::free(block);
        return;
    }
    // The first word of a free block links to the next free block of its class.
    char* block = static_cast<char*>(p) - kGrain;
    std::memcpy(block, &m_free[header], sizeof(void*));
    m_free[header] = block;
}

// Leaves gumbo by a long jump: gumbo is C and checks no allocation, so there
// is no other way out, and everything it allocated belongs to this arena.
void GumboArena::overBudget()
{
    std::longjmp(*static_cast<std::jmp_buf*>(m_escape), 1);
}

const GumboOutput* GumboArena::parse(QByteArrayView utf8, WorkBudget& work)
{
    GumboOptions options = kGumboDefaultOptions;
    options.allocator = &GumboArena::allocate;
    options.deallocator = &GumboArena::deallocate;
    options.userdata = this;
    // Nothing reads gumbo's error list, and a broken page can fill it.
    options.max_errors = 0;
    m_work = &work;
    m_openElements = m_activeFormatting = nullptr;
    const ArenaOfThisThread counting(this);
    // The lists die with gumbo's parser, the escape with this frame.
    const auto forget = [this] {
        m_escape = nullptr;
        m_work = nullptr;
        m_openElements = m_activeFormatting = nullptr;
    };
    std::jmp_buf escape;
    m_escape = &escape;
    if (setjmp(escape) != 0) {
        forget();
        return nullptr;
    }
    const GumboOutput* output = gumbo_parse_with_options(&options, utf8.data(), std::size_t(utf8.size()));
    forget();
    return output;
}

} // namespace parlowen
