// SPDX-License-Identifier: MIT
// bench_startup_mapwatch: waits on $DISPLAY for the first top-level window to be mapped and
// prints the wall-clock time of that moment as "mapped <seconds.microseconds> <window id>".
// It prints "ready" once it listens, so that the program under test is started only then.
// Event-driven rather than polling, so that it takes no processor time from the program it times.
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>

namespace {

struct EventFree {
    void operator()(xcb_generic_event_t *event) const { std::free(event); }
};
using Event = std::unique_ptr<xcb_generic_event_t, EventFree>;

void printNow(const char *what, xcb_window_t window) {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    std::printf("%s %lld.%06ld %u\n", what, static_cast<long long>(now.tv_sec), now.tv_nsec / 1000,
                window);
    std::fflush(stdout);
}

bool listenOnRoot(xcb_connection_t *connection, xcb_window_t root) {
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_generic_error_t *error = xcb_request_check(
        connection,
        xcb_change_window_attributes_checked(connection, root, XCB_CW_EVENT_MASK, &mask));
    std::free(error);
    return error == nullptr;
}

} // namespace

int main() {
    int screenNumber = 0;
    xcb_connection_t *connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection)) {
        std::fprintf(stderr, "bench_startup_mapwatch: cannot open the display\n");
        return 2;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber; ++i)
        xcb_screen_next(&screens);
    const xcb_window_t root = screens.data->root;
    if (!listenOnRoot(connection, root)) {
        std::fprintf(stderr, "bench_startup_mapwatch: cannot listen on the root window\n");
        return 2;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    // Pop-up menus and tool tips bypass the window manager; the first window the user sees
    // as a window is a managed one.
    while (Event event{xcb_wait_for_event(connection)}) {
        if ((event->response_type & 0x7f) != XCB_MAP_NOTIFY)
            continue;
        const auto *map = reinterpret_cast<const xcb_map_notify_event_t *>(event.get());
        if (map->event == root && !map->override_redirect) {
            printNow("mapped", map->window);
            xcb_disconnect(connection);
            return 0;
        }
    }
    std::fprintf(stderr, "bench_startup_mapwatch: the display went away\n");
    xcb_disconnect(connection);
    return 2;
}
