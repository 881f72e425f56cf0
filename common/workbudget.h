#pragma once
// The work a reading of one page may do, and the flag that cancels it.
//
// Every pass over a page (the pre-pass, gumbo, the sheets, the cascade, the
// walk for its text) counts its steps into the same budget, so that what
// one pass spent is gone for the next: a page cannot get twice the work by
// spreading it over two passes. Work is counted in steps of the passes'
// own, never in time, so the verdict depends on the page alone, never on
// the machine or its load.

#include <atomic>
#include <cstdint>

namespace parlowen {

class WorkBudget {
public:
    // Counts, and never stops: for text that is no page's, or a page's
    // that is bounded by its size alone.
    WorkBudget() = default;
    // allowed steps in all, spent of them already; cancelled, when given,
    // may be set from any thread and stops the reading too.
    explicit WorkBudget(std::uint64_t allowed, const std::atomic<bool>* cancelled = nullptr,
                        std::uint64_t spent = 0)
        : m_allowed(allowed), m_spent(spent), m_cancelled(cancelled)
    {}

    // Counts steps; false once the reading is to stop. The limit and the
    // flag are looked at only every kStepsBetweenLooks steps, so that a
    // pass may spend a step a token or a selector without slowing down.
    bool spend(std::uint64_t steps = 1)
    {
        m_spent += steps;
        if (m_spent >= m_nextLook)
            look();
        return !m_stopped;
    }

    // Counts steps without a look: for a pass that looks elsewhere, at the
    // next spend() or at exhausted(), so that counting costs it an add.
    void count(std::uint64_t steps = 1) { m_spent += steps; }

    // Whether the reading may go on, as of the last look.
    bool mayGoOn() const { return !m_stopped; }
    // Right now, rather than at the last look.
    bool overBudget() const { return m_spent > m_allowed; }
    bool cancelled() const { return m_cancelled && m_cancelled->load(std::memory_order_relaxed); }
    bool exhausted() const { return overBudget() || cancelled(); }

    std::uint64_t spent() const { return m_spent; }
    std::uint64_t allowed() const { return m_allowed; }

    // A few milliseconds of the slowest pass's work at most.
    static constexpr std::uint64_t kStepsBetweenLooks = 4096;

private:
    void look()
    {
        m_nextLook = m_spent + kStepsBetweenLooks;
        m_stopped = m_stopped || exhausted();
    }

    std::uint64_t m_allowed = UINT64_MAX;
    std::uint64_t m_spent = 0;
    const std::atomic<bool>* m_cancelled = nullptr;
    std::uint64_t m_nextLook = 0;
    bool m_stopped = false;
};

} // namespace parlowen
