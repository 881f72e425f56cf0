#pragma once
// Runs gumbo inside a memory budget and a work budget. Every allocation gumbo
// makes comes from an arena owned by the caller, so that
// - a page whose tree would outgrow the budget stops the parse at once,
//   instead of taking the machine's memory;
// - a page on which gumbo's quadratic paths (long searches of its element
//   lists) would run for minutes stops once the parse has done more work
//   than any real page needs. Work is counted in steps of gumbo's (an
//   allocation, an entry of a list searched or moved; see gumbohooks.cpp),
//   so the verdict depends on the page alone, never on the machine or its
//   load;
// - the tree is freed in one go, never by gumbo's recursive destructor,
//   whose depth a page controls;
// - small blocks are reused without malloc's per-block overhead.

#include "common/workbudget.h"

#include <gumbo.h>

#include <QByteArrayView>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace parlowen {

class GumboArena {
public:
    // Small pages get small slabs, so that parsing one costs no more than it
    // needs.
    GumboArena(std::size_t budgetBytes, std::size_t pageBytes)
        : m_budget(budgetBytes), m_slabBytes(pageBytes < kMaxSlabBytes ? kMinSlabBytes : kMaxSlabBytes)
    {}
    ~GumboArena();
    GumboArena(const GumboArena&) = delete;
    GumboArena& operator=(const GumboArena&) = delete;

    // The steps a reading of a page of pageBytes may take, its parse
    // included.
    static constexpr std::uint64_t kWorkPerPageByte = 48;
    static constexpr std::uint64_t kWorkForAnyPage = std::uint64_t(2) << 30;
    static std::uint64_t workBudget(std::size_t pageBytes);

    // The tree of utf8, or nullptr when it would not fit in the memory
    // budget or work, from which the parse spends its steps, says stop
    // (over budget, or cancelled from any thread: within a few
    // milliseconds). The tree points into utf8 and into the arena; both
    // must outlive its use.
    const GumboOutput* parse(QByteArrayView utf8, WorkBudget& work);

    // For the hooks in front of gumbo's list functions.
    void countSteps(std::size_t steps) { spend(steps); }
    bool knowsGumbosLists() const { return m_openElements != nullptr; }
    void setGumbosLists(const GumboVector* openElements, const GumboVector* activeFormatting)
    {
        m_openElements = openElements;
        m_activeFormatting = activeFormatting;
    }

    using Header = std::size_t;

private:
    struct LargeBlock {
        LargeBlock* prev;
        LargeBlock* next;
        Header header; // last, right before the block
    };

    static void* allocate(void* arena, std::size_t size);
    static void deallocate(void* arena, void* block);
    void* take(std::size_t size);
    void spend(std::uint64_t steps)
    {
        if (!m_work->spend(steps))
            overBudget();
    }
    void* takeSmall(std::size_t grains);
    void* takeLarge(std::size_t size);
    void give(void* block);
    [[noreturn]] void overBudget();

    static constexpr std::size_t kGrain = 8;
    static constexpr std::size_t kSmallClasses = 128; // up to 1 KiB
    static constexpr std::size_t kMinSlabBytes = std::size_t(64) << 10;
    static constexpr std::size_t kMaxSlabBytes = std::size_t(1) << 20;

    std::size_t m_budget;
    std::size_t m_slabBytes;
    std::size_t m_footprint = 0;
    std::vector<char*> m_slabs;
    char* m_next = nullptr;
    char* m_slabEnd = nullptr;
    std::array<void*, kSmallClasses + 1> m_free{};
    LargeBlock* m_large = nullptr;
    void* m_escape = nullptr;
    WorkBudget* m_work = nullptr; // while it parses
    const GumboVector* m_openElements = nullptr;
    const GumboVector* m_activeFormatting = nullptr;
};

} // namespace parlowen
