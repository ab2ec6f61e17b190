#include "ViewCanvas.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include "CNivoView.h"
#include "platform/qt/DevicePixels.h"
#include "platform/qt/InputFence.h"
#include "platform/qt/PainterDC.h"
#include "platform/qt/QtWindow.h"

ViewCanvas::ViewCanvas(CNivoView& view) : QWidget(nullptr), m_view(view)
{
    setMouseTracking(true);
    // The canvas fills its own background, so that a picture shown as it is
    // drawn does not cost a fill of the window first.
    setAttribute(Qt::WA_OpaquePaintEvent, true);
}

void ViewCanvas::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    if (SurfaceDrawing* drawing = m_view.Window().PendingDrawing()) {
        // Whole logical pixels of the drawing; any part of one left over takes the background first.
        const QSizeF size = drawing->LogicalSize();
        FillBackground(painter, event->region() - QRect(0, 0, int(size.width()), int(size.height())));
        drawing->Paint(painter, event->region());
        return;
    }
    FillBackground(painter, event->region());
    PainterDC dc(&painter);
    m_view.OnDraw(&dc);
}

void ViewCanvas::FillBackground(QPainter& painter, const QRegion& region) const
{
    const QBrush brush = palette().brush(backgroundRole());
    for (const QRect& rect : region)
        painter.fillRect(rect, brush);
}

QPoint ViewCanvas::ClientPoint(const QPointF& canvasPoint) const
{
    // The canvas sits at a whole logical pixel of its viewport, the client area.
    const QWidget& client = *parentWidget();
    return DevicePixelAt(client, canvasPoint + QPointF(mapTo(&client, QPoint(0, 0))));
}

void ViewCanvas::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    // Made while a picture was computed: aimed at what the screen showed then.
    if (InputFence::Instance().IsStale(*event))
        return;
    const QPoint p = ClientPoint(event->position());
    m_view.ZoomAtPoint(0, p.x(), p.y());
}

void ViewCanvas::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint p = ClientPoint(event->position());
    m_view.ShowPlaneCoordinates(0, p.x(), p.y());
}
