#include "QtWindow.h"

#include <QPainter>

#include "DevicePixels.h"
#include "GdiFlush.h"
#include "platform/DeviceContext.h"

namespace {
// Hands bitmaps to the window's drawing, one screen pixel per bitmap pixel,
// and notes the parts they cover.
class SurfaceDC : public DeviceContext {
public:
    SurfaceDC(SurfaceDrawing& drawing, QRegion& drawn) : m_drawing(drawing), m_drawn(drawn) {}
    BOOL DrawBitmap(int x, int y, int width, int height, const GdiObject& source, int sourceX, int sourceY) override
    {
        m_drawn += m_drawing.Add(source, sourceX, sourceY, width, height, x, y);
        return 1;
    }

private:
    SurfaceDrawing& m_drawing;
    QRegion& m_drawn;
};

// A hidden window shows nothing drawn on it, and paints itself in full when
// shown: its drawings are accepted and dropped.
class HiddenDC : public DeviceContext {
public:
    BOOL DrawBitmap(int, int, int, int, const GdiObject&, int, int) override { return 1; }
};
} // namespace

QtWindow::QtWindow(QWidget* surface, QWidget* client) : m_surface(surface), m_client(client ? client : surface) {}

RECT QtWindow::ClientRect() const
{
    if (!m_client)
        return {};
    const QSize size = DevicePixels(*m_client);
    return {0, 0, size.width(), size.height()};
}

HDC QtWindow::AcquireDC()
{
    if (!m_surface)
        return nullptr;
    if (!m_surface->isVisible())
        return new HiddenDC;
    // Only the client area is drawn on: a surface padded out to a minimum
    // size must not cost memory for every row of a tall, narrow picture.
    QSize size = DevicePixels(*m_surface);
    if (m_client)
        size = size.boundedTo(DevicePixels(*m_client));
    m_drawing.Begin(size, m_surface->devicePixelRatioF());
    m_drawn = QRegion();
    return new SurfaceDC(m_drawing, m_drawn);
}

void QtWindow::ReleaseAcquiredDC(HDC dc)
{
    delete dc;
    if (m_surface && m_surface->isVisible() && !m_drawn.isEmpty()) {
        m_flushing = true;
        m_surface->repaint(LogicalRegion(*m_surface, m_drawn));
        m_flushing = false;
        GdiFlush();
    }
    m_drawing.End();
}
