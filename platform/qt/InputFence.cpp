#include "InputFence.h"

#include <QGuiApplication>
#include <QInputEvent>
#include <QWidget>
#include <cstdlib>
#include <cstring>
#include <qguiapplication_platform.h>
#include <xcb/xcb.h>

namespace {
xcb_connection_t* Connection()
{
    if (!qGuiApp || QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

std::uint32_t InternAtom(xcb_connection_t* connection, const char* name)
{
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    std::uint32_t atom = XCB_ATOM_NONE;
    if (reply)
        atom = reply->atom;
    std::free(reply);
    return atom;
}
} // namespace

InputFence& InputFence::Instance()
{
    static InputFence fence;
    return fence;
}

void InputFence::Raise(const QWidget& window)
{
    xcb_connection_t* connection = Connection();
    if (!connection || !window.window()->windowHandle())
        return;
    if (m_atom == XCB_ATOM_NONE) {
        m_atom = InternAtom(connection, "_NIVO_INPUT_FENCE");
        if (m_atom == XCB_ATOM_NONE)
            return;
        qGuiApp->installNativeEventFilter(this);
    }
    // Appending nothing to a property changes nothing, but the server stamps
    // the notice it sends back with its time, among the input events.
    xcb_change_property(connection, XCB_PROP_MODE_APPEND, static_cast<xcb_window_t>(window.window()->winId()), m_atom,
                        XCB_ATOM_STRING, 8, 0, nullptr);
    xcb_flush(connection);
    m_pending = true;
}

bool InputFence::IsStale(const QInputEvent& event) const
{
    if (m_pending)
        return true;
    // X time is in milliseconds and wraps around.
    return m_known && static_cast<std::int32_t>(static_cast<std::uint32_t>(event.timestamp()) - m_time) < 0;
}

bool InputFence::nativeEventFilter(const QByteArray& type, void* message, qintptr*)
{
    if (type != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
        return false;
    const auto* notice = static_cast<const xcb_property_notify_event_t*>(message);
    if (notice->atom == m_atom) {
        m_time = notice->time;
        m_known = true;
        m_pending = false;
    }
    return false;
}
