// How long a window takes from the fork that execs it to being mapped on the
// X display, for two programs in alternating pairs, so that both meet the
// same load:
//
//   windowstart PAIRS PROGRAM REFERENCE
//
// Each run starts in a home folder of its own, empty, and ends once its first
// top-level window is mapped. A program with a Settings.ini beside it is
// refused: the window would start a check. Prints each pair, then the medians
// and their ratio, and the median of the pairs' ratios.
#include <xcb/xcb.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Display {
    xcb_connection_t* connection;
    xcb_window_t root;
};

std::optional<Display> watchRoot()
{
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection))
        return std::nullopt;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection);
    return Display{connection, root};
}

// Waits for a top-level window to be mapped; false after the time limit.
bool waitForMap(const Display& display, Clock::time_point limit)
{
    pollfd descriptor{xcb_get_file_descriptor(display.connection), POLLIN, 0};
    for (;;) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(display.connection)) {
            const bool mapped = (event->response_type & 0x7f) == XCB_MAP_NOTIFY &&
                                reinterpret_cast<xcb_map_notify_event_t*>(event)->event == display.root;
            std::free(event);
            if (mapped)
                return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(limit - Clock::now());
        if (left.count() <= 0 || poll(&descriptor, 1, int(left.count())) < 0)
            return false;
    }
}

void drain(const Display& display)
{
    while (xcb_generic_event_t* event = xcb_poll_for_event(display.connection))
        std::free(event);
}

// Milliseconds from exec to the map, or nothing when the program mapped no
// window within ten seconds.
std::optional<double> timeStart(const Display& display, const std::string& program, const std::string& home)
{
    drain(display);
    const Clock::time_point start = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
        setenv("HOME", home.c_str(), 1);
        unsetenv("XDG_CONFIG_HOME");
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    const bool mapped = waitForMap(display, start + std::chrono::seconds(10));
    const Clock::time_point end = Clock::now();
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
    // A round trip, so that the ended window's events are in before they are dropped.
    std::free(xcb_get_input_focus_reply(display.connection, xcb_get_input_focus(display.connection), nullptr));
    drain(display);
    if (!mapped)
        return std::nullopt;
    return std::chrono::duration<double, std::milli>(end - start).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 4 || std::atoi(argv[1]) < 1) {
        std::fprintf(stderr, "usage: windowstart PAIRS PROGRAM REFERENCE\n");
        return 3;
    }
    const int pairs = std::atoi(argv[1]);
    const std::string programs[2] = {argv[2], argv[3]};
    for (const std::string& program : programs) {
        if (std::filesystem::exists(std::filesystem::path(program).parent_path() / "Settings.ini")) {
            std::fprintf(stderr, "windowstart: %s has a Settings.ini beside it and would start a check\n",
                         program.c_str());
            return 3;
        }
    }
    const std::optional<Display> display = watchRoot();
    if (!display) {
        std::fprintf(stderr, "windowstart: cannot open the display (DISPLAY=%s)\n", std::getenv("DISPLAY"));
        return 3;
    }
    char homeTemplate[] = "/tmp/windowstart.XXXXXX";
    if (!mkdtemp(homeTemplate)) {
        std::perror("windowstart: mkdtemp");
        return 3;
    }
    const std::string home = homeTemplate;
    std::vector<double> times[2], ratios;
    for (int pair = 0; pair < pairs; ++pair) {
        double taken[2];
        // Alternating which goes first, so that neither always follows the other.
        for (int turn = 0; turn < 2; ++turn) {
            const int which = (pair + turn) % 2;
            const std::optional<double> ms = timeStart(*display, programs[which], home);
            if (!ms) {
                std::fprintf(stderr, "windowstart: %s mapped no window\n", programs[which].c_str());
                return 1;
            }
            taken[which] = *ms;
            times[which].push_back(*ms);
        }
        ratios.push_back(taken[0] / taken[1]);
        std::printf("pair %2d: %7.1f ms  %7.1f ms  %.2fx\n", pair + 1, taken[0], taken[1], ratios.back());
    }
    std::filesystem::remove_all(home);
    const double program = median(times[0]), reference = median(times[1]);
    std::printf("median: %7.1f ms  %7.1f ms  %.2fx; median of the pairs' ratios %.2fx\n", program, reference,
                program / reference, median(ratios));
    xcb_disconnect(display->connection);
    return 0;
}
