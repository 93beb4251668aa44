#pragma once

// Asks an X11 top-level window, found by its title, to close, the way a
// window manager does (WM_DELETE_WINDOW). For the tests of the quit path.

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace quillbay::testing {

inline xcb_atom_t internAtom(xcb_connection_t* connection, const char* name)
{
    auto* reply = xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, std::strlen(name), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

inline std::string windowTitle(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t utf8, xcb_atom_t netName)
{
    auto* reply = xcb_get_property_reply(connection, xcb_get_property(connection, 0, window, netName, utf8, 0, 256), nullptr);
    std::string title;
    if (reply)
        title.assign(static_cast<const char*>(xcb_get_property_value(reply)), xcb_get_property_value_length(reply));
    std::free(reply);
    return title;
}

// The shown top-level window titled `title`, or 0.
inline xcb_window_t shownWindowTitled(xcb_connection_t* connection, const std::string& title)
{
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const xcb_atom_t utf8 = internAtom(connection, "UTF8_STRING");
    const xcb_atom_t netName = internAtom(connection, "_NET_WM_NAME");
    xcb_window_t found = 0;
    auto* tree = xcb_query_tree_reply(connection, xcb_query_tree(connection, root), nullptr);
    if (!tree)
        return 0;
    const xcb_window_t* children = xcb_query_tree_children(tree);
    for (int i = 0; i < xcb_query_tree_children_length(tree) && !found; ++i) {
        // GTK also keeps unmapped helper windows with the application's name.
        auto* attributes = xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, children[i]), nullptr);
        const bool shown = attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE && !attributes->override_redirect;
        std::free(attributes);
        if (shown && windowTitle(connection, children[i], utf8, netName) == title)
            found = children[i];
    }
    std::free(tree);
    return found;
}

inline bool windowShown(const std::string& title)
{
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const bool shown = !xcb_connection_has_error(connection) && shownWindowTitled(connection, title) != 0;
    xcb_disconnect(connection);
    return shown;
}

// True when a window titled `title` was found and asked to close.
inline bool closeWindowTitled(const std::string& title)
{
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return false;
    }
    const xcb_window_t window = shownWindowTitled(connection, title);
    if (window) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = internAtom(connection, "WM_PROTOCOLS");
        event.data.data32[0] = internAtom(connection, "WM_DELETE_WINDOW");
        event.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(connection, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
        xcb_flush(connection);
    }
    xcb_disconnect(connection);
    return window != 0;
}

} // namespace quillbay::testing
