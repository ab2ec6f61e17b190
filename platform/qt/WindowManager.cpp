#include "WindowManager.h"

#include <QGuiApplication>
#include <cstdlib>
#include <cstring>
#include <qguiapplication_platform.h>
#include <xcb/xcb.h>

namespace {
// The window a property of type WINDOW names, or none.
xcb_window_t WindowProperty(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property)
{
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, property, XCB_ATOM_WINDOW, 0, 1), nullptr);
    xcb_window_t named = XCB_WINDOW_NONE;
    if (reply && reply->format == 32 && xcb_get_property_value_length(reply) == 4)
        std::memcpy(&named, xcb_get_property_value(reply), 4);
    std::free(reply);
    return named;
}
} // namespace

bool WindowManagerRuns()
{
    // Other platforms always have a compositor or maximise by themselves.
    if (!qGuiApp || QGuiApplication::platformName() != QLatin1String("xcb"))
        return true;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return true;
    static const char name[] = "_NET_SUPPORTING_WM_CHECK";
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 1, sizeof name - 1, name), nullptr);
    const xcb_atom_t check = atom ? atom->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    std::free(atom);
    if (check == XCB_ATOM_NONE)
        return false;
    // A running manager's check window names itself; one left by a manager that died does not exist.
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const xcb_window_t child = WindowProperty(connection, root, check);
    return child != XCB_WINDOW_NONE && WindowProperty(connection, child, check) == child;
}
