// A small block carries no header: gumbo hands back only the pointer, and
// the slab it lies in, found from its address among the slabs kept in
// address order, says the size class of the run it came from. A pointer in
// no slab is a large block's.

#include "html/gumboarena.h"

#include "html/gumbohooks.h"

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <utility>

namespace parlowen {

namespace {

// What one allocation counts for each entry of gumbo's two lists.
constexpr std::uint64_t kStepsPerOpenElement = 2;
constexpr std::uint64_t kStepsPerFormattingElement = 2;

std::uint64_t lengthOf(const GumboVector* list)
{
    return list ? list->length : 0;
}

} // namespace

GumboArena::GumboArena(std::size_t budgetBytes, std::size_t pageBytes)
    : m_budget(budgetBytes), m_slabBytes(pageBytes < kMaxSlabBytes ? kMinSlabBytes : kMaxSlabBytes)
{
    // Room for as many slabs as the budget allows, made now: a slab is
    // added within gumbo's parse, which no exception may cross.
    m_slabs.reserve(m_budget / m_slabBytes);
}

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
    // A free block holds the link to the next one of its class.
    const std::size_t grains = std::max<std::size_t>(1, (size + kGrain - 1) / kGrain);
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
        return block;
    }
    const std::size_t bytes = grains * kGrain;
    Run& run = m_runs[grains];
    if (std::size_t(run.end - run.next) < bytes)
        run = newRun(grains);
    char* block = run.next;
    run.next += bytes;
    return block;
}

GumboArena::Run GumboArena::newRun(std::size_t grains)
{
    if (m_next == m_slabEnd)
        newSlab();
    char* run = m_next;
    m_next += kRunBytes;
    char* slab = m_slabEnd - m_slabBytes;
    reinterpret_cast<std::uint8_t*>(slab)[std::size_t(run - slab) / kRunBytes] = std::uint8_t(grains);
    return {run, run + kRunBytes};
}

void GumboArena::newSlab()
{
    if (m_footprint + m_slabBytes > m_budget)
        overBudget();
    char* slab = static_cast<char*>(std::malloc(m_slabBytes));
    if (!slab)
        overBudget();
    m_slabs.insert(std::upper_bound(m_slabs.begin(), m_slabs.end(), slab, std::less<const void*>()), slab);
    m_footprint += m_slabBytes;
    m_next = slab + kRunBytes;
    m_slabEnd = slab + m_slabBytes;
}

char* GumboArena::slabOf(const void* block)
{
    // Slabs come from malloc, so only std::less orders them with any block.
    const std::less<const void*> before;
    const auto holds = [&](const char* slab) {
        return slab && !before(block, slab) && before(block, slab + m_slabBytes);
    };
    // gumbo gives back a tag's buffers once it has read the tag, and takes
    // the same blocks again for the next: most often the slab of the block
    // given back before.
    if (holds(m_slabGivenTo))
        return m_slabGivenTo;
    const auto after = std::upper_bound(m_slabs.begin(), m_slabs.end(), block, before);
    if (after == m_slabs.begin() || !holds(*(after - 1)))
        return nullptr;
    return m_slabGivenTo = *(after - 1);
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
    *block = {nullptr, m_large, bytes};
    if (m_large)
        m_large->prev = block;
    m_large = block;
    return block + 1;
}

void GumboArena::give(void* p)
{
    char* slab = slabOf(p);
    if (!slab) {
        auto* block = static_cast<LargeBlock*>(p) - 1;
        (block->prev ? block->prev->next : m_large) = block->next;
        if (block->next)
            block->next->prev = block->prev;
        m_footprint -= block->bytes;
        std::free(block);
        return;
    }
    const std::size_t run = std::size_t(static_cast<char*>(p) - slab) / kRunBytes;
    const std::uint8_t grains = reinterpret_cast<const std::uint8_t*>(slab)[run];
    std::memcpy(p, &m_free[grains], sizeof(void*));
    m_free[grains] = p;
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
