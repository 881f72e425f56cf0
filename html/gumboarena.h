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
// - small blocks are reused without malloc's per-block overhead, and carry
//   no header of their own: a page's tree is a node every few bytes, and a
//   word on each was an eighth of the tree.

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
    GumboArena(std::size_t budgetBytes, std::size_t pageBytes);
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

private:
    struct LargeBlock {
        LargeBlock* prev;
        LargeBlock* next;
        std::size_t bytes; // last, right before the block
    };
    // The part of a run of one size class not yet handed out.
    struct Run {
        char* next = nullptr;
        char* end = nullptr;
    };

    static void* allocate(void* arena, std::size_t size);
    static void deallocate(void* arena, void* block);
    void* take(std::size_t size);
    void give(void* block);
    void spend(std::uint64_t steps)
    {
        if (!m_work->spend(steps))
            overBudget();
    }
    void* takeSmall(std::size_t grains);
    void* takeLarge(std::size_t size);
    Run newRun(std::size_t grains);
    void newSlab();
    char* slabOf(const void* block); // nullptr for a large block
    [[noreturn]] void overBudget();

    static constexpr std::size_t kGrain = 8;
    static constexpr std::size_t kSmallClasses = 128; // up to 1 KiB
    // A slab is cut into runs, each of one size class; its first run holds
    // the class of each.
    static constexpr std::size_t kRunBytes = 4096;
    static constexpr std::size_t kMinSlabBytes = std::size_t(64) << 10;
    static constexpr std::size_t kMaxSlabBytes = std::size_t(1) << 20;
    static_assert(kSmallClasses * kGrain <= kRunBytes && kSmallClasses <= UINT8_MAX);
    static_assert(kMinSlabBytes / kRunBytes <= kRunBytes);

    std::size_t m_budget;
    std::size_t m_slabBytes;
    std::size_t m_footprint = 0;
    std::vector<char*> m_slabs; // in address order
    char* m_next = nullptr;     // the newest slab's runs not yet of a class
    char* m_slabEnd = nullptr;
    char* m_slabGivenTo = nullptr;
    std::array<Run, kSmallClasses + 1> m_runs{};
    std::array<void*, kSmallClasses + 1> m_free{};
    LargeBlock* m_large = nullptr;
    void* m_escape = nullptr;
    WorkBudget* m_work = nullptr; // while it parses
    const GumboVector* m_openElements = nullptr;
    const GumboVector* m_activeFormatting = nullptr;
};

} // namespace parlowen
