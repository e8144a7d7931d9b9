#include "app/x11.h"

#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace solvane {
namespace {

xcb_atom_t Atom(xcb_connection_t* connection, const char* name)
{
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 1, static_cast<uint16_t>(std::strlen(name)), name),
                              nullptr);
    if (!reply) return XCB_ATOM_NONE;
    const xcb_atom_t atom = reply->atom;
    std::free(reply);
    return atom;
}

// The window named by a WINDOW property of window, or none.
xcb_window_t WindowProperty(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property)
{
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, property, XCB_ATOM_WINDOW, 0, 1), nullptr);
    if (!reply) return XCB_WINDOW_NONE;
    xcb_window_t value = XCB_WINDOW_NONE;
    if (reply->type == XCB_ATOM_WINDOW && reply->format == 32 && xcb_get_property_value_length(reply) >= 4) {
        std::memcpy(&value, xcb_get_property_value(reply), sizeof value);
    }
    std::free(reply);
    return value;
}

}  // namespace

bool WindowManagerRunning()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11) return true;
    xcb_connection_t* connection = x11->connection();
    if (!connection) return true;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    if (!screen) return false;
    const xcb_atom_t check = Atom(connection, "_NET_SUPPORTING_WM_CHECK");
    if (check == XCB_ATOM_NONE) return false;
    // The root names the manager's check window, which names itself: a stale root property left by
    // a manager that has gone names a window that no longer answers.
    const xcb_window_t child = WindowProperty(connection, screen->root, check);
    return child != XCB_WINDOW_NONE && WindowProperty(connection, child, check) == child;
}

}  // namespace solvane
