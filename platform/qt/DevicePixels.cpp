#include "DevicePixels.h"

#include <QWidget>
#include <cmath>

QSize DevicePixels(const QWidget& widget)
{
    const double scale = widget.devicePixelRatioF();
    return {static_cast<int>(std::ceil(widget.width() * scale)), static_cast<int>(std::ceil(widget.height() * scale))};
}

QPoint DevicePixelAt(const QWidget& widget, const QPointF& logical)
{
    const double scale = widget.devicePixelRatioF();
    return {static_cast<int>(std::floor(logical.x() * scale)), static_cast<int>(std::floor(logical.y() * scale))};
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
