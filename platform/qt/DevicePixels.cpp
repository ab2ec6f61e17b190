#include "DevicePixels.h"

#include <QGuiApplication>
#include <qguiapplication_platform.h>
#include <QWidget>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <xcb/xcb.h>

namespace {
// The pointer in the screen pixels of a top-level window, asked of the X
// server: on a scaled screen Qt rounds the pixel X reports to a logical one.
std::optional<QPoint> PointerInWindow(const QWidget& top)
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !top.windowHandle())
        return std::nullopt;
    // The offscreen platform answers as X11 even with no X server behind it.
    xcb_connection_t* connection = x11->connection();
    if (!connection)
        return std::nullopt;
    xcb_query_pointer_reply_t* reply =
        xcb_query_pointer_reply(connection, xcb_query_pointer(connection, top.winId()), nullptr);
    if (!reply)
        return std::nullopt;
    const std::optional<QPoint> at =
        reply->same_screen ? std::optional<QPoint>(QPoint(reply->win_x, reply->win_y)) : std::nullopt;
    std::free(reply);
    return at;
}
} // namespace

QSize DevicePixels(const QWidget& widget)
{
    const double scale = widget.devicePixelRatioF();
    return {static_cast<int>(std::ceil(widget.width() * scale)), static_cast<int>(std::ceil(widget.height() * scale))};
}

QPoint DevicePixelAt(const QWidget& widget, const QPointF& logical)
{
    const double scale = widget.devicePixelRatioF();
    const QPoint scaled(static_cast<int>(std::floor(logical.x() * scale)),
                        static_cast<int>(std::floor(logical.y() * scale)));
    if (scale == 1.0)
        return scaled;
    const QWidget& top = *widget.window();
    const std::optional<QPoint> pointer = PointerInWindow(top);
    if (!pointer)
        return scaled;
    // Only while the pointer is still where the event says it was.
    const QPoint offset = widget.mapTo(&top, QPoint(0, 0));
    const QPointF asLogical = QPointF(*pointer) / scale - QPointF(offset);
    if (std::abs(asLogical.x() - logical.x()) >= 1.0 || std::abs(asLogical.y() - logical.y()) >= 1.0)
        return scaled;
    return *pointer - QPoint(static_cast<int>(std::lround(offset.x() * scale)),
                             static_cast<int>(std::lround(offset.y() * scale)));
}

QRegion LogicalRegion(const QWidget& widget, const QRegion& devicePixels)
{
    const double scale = widget.devicePixelRatioF();
    if (scale == 1.0)
        return devicePixels;
    QRegion logical;
    for (const QRect& r : devicePixels) {
        const int left = static_cast<int>(std::floor(r.left() / scale));
        const int top = static_cast<int>(std::floor(r.top() / scale));
        const int right = static_cast<int>(std::ceil((r.right() + 1) / scale));
        const int bottom = static_cast<int>(std::ceil((r.bottom() + 1) / scale));
        logical += QRect(left, top, right - left, bottom - top);
    }
    return logical;
}
