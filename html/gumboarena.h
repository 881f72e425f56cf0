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

#include <gumbo.h>

#include <QByteArrayView>

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace parlowen {

class GumboArena {
public:
    // Small pages get small slabs, so that parsing one costs no more than it
    // needs. Once cancelled is set, from any thread, the parse stops as if
    // over budget, within a few milliseconds.
    GumboArena(std::size_t budgetBytes, std::size_t pageBytes, const std::atomic<bool>* cancelled = nullptr)
        : m_budget(budgetBytes), m_slabBytes(pageBytes < kMaxSlabBytes ? kMinSlabBytes : kMaxSlabBytes),
          m_cancelled(cancelled), m_workBudget(workBudget(pageBytes))
    {}
    ~GumboArena();
    GumboArena(const GumboArena&) = delete;
    GumboArena& operator=(const GumboArena&) = delete;

    // The steps a parse of a page of pageBytes may take.
    static constexpr std::uint64_t kWorkPerPageByte = 48;
    static constexpr std::uint64_t kWorkForAnyPage = std::uint64_t(2) << 30;
    static std::uint64_t workBudget(std::size_t pageBytes);

    // The tree of utf8, or nullptr when it would not fit in the budgets. The
    // tree points into utf8 and into the arena; both must outlive its use.
    // workDone is what reading the page has cost before gumbo sees it.
    const GumboOutput* parse(QByteArrayView utf8, std::uint64_t workDone = 0);

    // The steps taken so far.
    std::uint64_t work() const { return m_work; }

    // For the hooks in front of gumbo's list functions.
    void countSteps(std::size_t steps) { addWork(steps); }
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
    void addWork(std::uint64_t steps)
    {
        m_work += steps;
        if (m_work >= m_nextCheckpoint)
            checkpoint();
    }
    void checkpoint();
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
    const std::atomic<bool>* m_cancelled;
    std::uint64_t m_workBudget;
    std::size_t m_footprint = 0;
    std::vector<char*> m_slabs;
    char* m_next = nullptr;
    char* m_slabEnd = nullptr;
    std::array<void*, kSmallClasses + 1> m_free{};
    LargeBlock* m_large = nullptr;
    void* m_escape = nullptr;
    std::uint64_t m_work = 0;
    std::uint64_t m_nextCheckpoint = 0;
    const GumboVector* m_openElements = nullptr;
    const GumboVector* m_activeFormatting = nullptr;
};

} // namespace parlowen
