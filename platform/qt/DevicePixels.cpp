#include "DevicePixels.h"

#include <QGuiApplication>
#include <qguiapplication_platform.h>
#include <QWidget>
#include <QWindow>
#include <qpa/qplatformwindow.h>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <xcb/xcb.h>

namespace {
// The pointer in the screen pixels of a top-level window, asked of the X
// server: on a scaled screen Qt rounds the pixel X reports to a logical one.
std::optional<QPoint> PointerInWindow(const QWidget& top)
{
    if (!qGuiApp || QGuiApplication::platformName() != QLatin1String("xcb") || !top.windowHandle())
        return std::nullopt;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
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

// The screen pixels of a top-level window as the platform has it.
QSize WindowPixels(const QWidget& top)
{
    const QWindow* window = top.windowHandle();
    if (window && window->handle())
        return window->handle()->geometry().size();
    return top.size() * top.devicePixelRatioF();
}

// How many screen pixels of a widget spanning `length` logical pixels from
// `start` its window shows along one axis. Qt paints it from its rounded start
// over its rounded length, and the next widget from the rounded end: the
// widget shows only up to whichever comes first, and only inside the window.
int ShownPixels(int start, int length, double scale, int windowPixels)
{
    const int first = qRound(start * scale);
    const int end = std::min({first + qRound(length * scale), qRound((start + length) * scale), windowPixels});
    return std::max(0, end - first);
}
} // namespace

QSize DevicePixels(const QWidget& widget)
{
    const double scale = widget.devicePixelRatioF();
    if (scale == 1.0)
        return widget.size();
    const QWidget& top = *widget.window();
    const QRect logical(widget.mapTo(&top, QPoint(0, 0)), widget.size());
    const QSize window = WindowPixels(top);
    return {ShownPixels(logical.x(), logical.width(), scale, window.width()),
            ShownPixels(logical.y(), logical.height(), scale, window.height())};
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
