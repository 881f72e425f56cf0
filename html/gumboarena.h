#pragma once
// Runs gumbo inside a memory budget and a time budget. Every allocation gumbo
// makes comes from an arena owned by the caller, so that
// - a page whose tree would outgrow the budget stops the parse at once,
//   instead of taking the machine's memory;
// - a page on which gumbo's quadratic paths (long searches of its element
//   stacks) would run for minutes stops once the parse has used more
//   processor time than any real page needs;
// - the tree is freed in one go, never by gumbo's recursive destructor,
//   whose depth a page controls;
// - small blocks are reused without malloc's per-block overhead.

#include <gumbo.h>

#include <QByteArrayView>

#include <array>
#include <atomic>
#include <cstddef>
#include <memory>
#include <vector>

namespace parlowen {

class GumboArena {
public:
    // Small pages get small slabs, so that parsing one costs no more than it
    // needs. Once cancelled is set, from any thread, the parse stops as if
    // over budget, within a thousand allocations.
    GumboArena(std::size_t budgetBytes, std::size_t pageBytes, const std::atomic<bool>* cancelled = nullptr)
        : m_budget(budgetBytes), m_slabBytes(pageBytes < kMaxSlabBytes ? kMinSlabBytes : kMaxSlabBytes),
          m_cancelled(cancelled)
    {}
    ~GumboArena();
    GumboArena(const GumboArena&) = delete;
    GumboArena& operator=(const GumboArena&) = delete;

    // The most processor time a parse may take. The largest real pages take
    // well under two seconds.
    static constexpr long long kCpuBudgetNs = 10'000'000'000LL;

    // The tree of utf8, or nullptr when it would not fit in the budget. The
    // tree points into utf8 and into the arena; both must outlive its use.
    const GumboOutput* parse(QByteArrayView utf8);

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
    void checkTimeAndCancel();
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
    std::size_t m_footprint = 0;
    std::vector<char*> m_slabs;
    char* m_next = nullptr;
    char* m_slabEnd = nullptr;
    std::array<void*, kSmallClasses + 1> m_free{};
    LargeBlock* m_large = nullptr;
    void* m_escape = nullptr;
    long long m_cpuDeadlineNs = 0;
    unsigned m_takesUntilClock = 0;
};

} // namespace parlowen
