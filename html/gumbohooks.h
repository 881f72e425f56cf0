#pragma once
// Lets gumbo's list functions and its token loop count their steps for the
// arena whose parse runs on this thread (see gumbohooks.cpp).

namespace parlowen {

class GumboArena;

// While one lives, the hooks count for arena.
class ArenaOfThisThread {
public:
    explicit ArenaOfThisThread(GumboArena* arena);
    ~ArenaOfThisThread();
    ArenaOfThisThread(const ArenaOfThisThread&) = delete;
    ArenaOfThisThread& operator=(const ArenaOfThisThread&) = delete;

private:
    GumboArena* m_previous;
};

} // namespace parlowen
