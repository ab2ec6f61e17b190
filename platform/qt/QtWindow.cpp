#include "QtWindow.h"

#include <QPainter>

#include "PainterDC.h"

namespace {
// Paints into an image the size of the surface; shown on release.
class SurfaceDC : public DeviceContext {
public:
    explicit SurfaceDC(QImage& image) : m_painter(&image), m_target(&m_painter) {}
    BOOL DrawBitmap(int x, int y, int width, int height, const GdiObject& source, int sourceX, int sourceY) override
    {
        return m_target.DrawBitmap(x, y, width, height, source, sourceX, sourceY);
    }

private:
    QPainter m_painter;
    PainterDC m_target;
};
} // namespace

QtWindow::QtWindow(QWidget* surface, QWidget* client) : m_surface(surface), m_client(client ? client : surface) {}

RECT QtWindow::ClientRect() const
{
    if (!m_client)
        return {};
    return {0, 0, m_client->width(), m_client->height()};
}

HDC QtWindow::AcquireDC()
{
    if (!m_surface)
        return nullptr;
    m_drawing = QImage(m_surface->size(), QImage::Format_ARGB32_Premultiplied);
    m_drawing.fill(Qt::transparent);
    return new SurfaceDC(m_drawing);
}

void QtWindow::ReleaseAcquiredDC(HDC dc)
{
    delete dc;
    if (!m_surface)
        return;
    m_flushing = true;
    m_surface->repaint();
    m_flushing = false;
    m_drawing = QImage();
}
