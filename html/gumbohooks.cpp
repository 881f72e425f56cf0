// gumbo's list functions, and the call its parser makes once for every
// token, put in front of gumbo's own so that a parse's work can be counted
// where it is done. gumbo calls each of them through its
// procedure linkage table, so a definition in the program takes their place
// for every call gumbo makes; each one here counts the entries it visits or
// moves for the arena parsing on this thread, then calls gumbo's own.
//
// The searches of the stack of open elements and of the list of active
// formatting elements that gumbo writes as loops of its own are bounded by
// the lengths of those two lists, which the arena reads once it knows where
// they are: the first pop from either tells it. Finding them needs the head
// of gumbo's parser state, which CMake pins to the one version checked here.

#include "html/gumbohooks.h"

#include "html/gumboarena.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

namespace parlowen {

namespace {

thread_local GumboArena* t_arena = nullptr;

// The head of gumbo 0.10.1's parser, as far as the hooks read it.
struct ParserHead {
    const void* options;
    const void* output;
    const void* tokenizerState;
    const char* parserState;
};
// In the parser state, the stack of open elements, the active formatting
// elements and the template insertion modes follow two enums.
constexpr std::size_t kOpenElementsOffset = 8;
constexpr std::size_t kActiveFormattingOffset = kOpenElementsOffset + sizeof(GumboVector);
constexpr std::size_t kTemplateModesOffset = kActiveFormattingOffset + sizeof(GumboVector);

template <typename Function> Function gumbosOwn(const char* name)
{
    void* function = dlsym(RTLD_NEXT, name);
    if (!function) {
        // Without gumbo's own function there is nothing to call; a parse
        // cannot go on.
        std::fprintf(stderr, "parlowen: gumbo's %s is missing: %s\n", name, dlerror());
        std::abort();
    }
    return reinterpret_cast<Function>(function);
}

void count(std::size_t steps)
{
    if (t_arena)
        t_arena->countSteps(steps);
}

void noteLists(const void* parser, const GumboVector* popped)
{
    if (!t_arena || t_arena->knowsGumbosLists())
        return;
    const char* state = static_cast<const ParserHead*>(parser)->parserState;
    const char* at = reinterpret_cast<const char*>(popped);
    if (at == state + kOpenElementsOffset || at == state + kActiveFormattingOffset ||
        at == state + kTemplateModesOffset)
        t_arena->setGumbosLists(reinterpret_cast<const GumboVector*>(state + kOpenElementsOffset),
                                reinterpret_cast<const GumboVector*>(state + kActiveFormattingOffset));
}

} // namespace

ArenaOfThisThread::ArenaOfThisThread(GumboArena* arena) : m_previous(t_arena)
{
    t_arena = arena;
}

ArenaOfThisThread::~ArenaOfThisThread()
{
    t_arena = m_previous;
}

} // namespace parlowen

using namespace parlowen;

extern "C" {

int gumbo_vector_index_of(GumboVector* vector, const void* element)
{
    static const auto own = gumbosOwn<int (*)(GumboVector*, const void*)>("gumbo_vector_index_of");
    const int index = own(vector, element);
    count(index < 0 ? vector->length : unsigned(index) + 1);
    return index;
}

void* gumbo_vector_pop(void* parser, GumboVector* vector)
{
    static const auto own = gumbosOwn<void* (*)(void*, GumboVector*)>("gumbo_vector_pop");
    noteLists(parser, vector);
    return own(parser, vector);
}

void gumbo_vector_insert_at(void* parser, void* element, unsigned int index, GumboVector* vector)
{
    static const auto own =
        gumbosOwn<void (*)(void*, void*, unsigned int, GumboVector*)>("gumbo_vector_insert_at");
    count(vector->length - index + 1);
    own(parser, element, index, vector);
}

void* gumbo_vector_remove_at(void* parser, unsigned int index, GumboVector* vector)
{
    static const auto own = gumbosOwn<void* (*)(void*, unsigned int, GumboVector*)>("gumbo_vector_remove_at");
    count(vector->length - index);
    return own(parser, index, vector);
}

// Once a token: the step that bounds text which allocates nothing, such as
// a long style sheet or script, which gumbo reads a character at a time.
void gumbo_tokenizer_set_is_current_node_foreign(void* parser, bool isForeign)
{
    static const auto own = gumbosOwn<void (*)(void*, bool)>("gumbo_tokenizer_set_is_current_node_foreign");
    count(1);
    own(parser, isForeign);
}

} // extern "C"
