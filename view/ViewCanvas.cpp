#include "ViewCanvas.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include "CNivoView.h"
#include "platform/qt/DevicePixels.h"
#include "platform/qt/PainterDC.h"
#include "platform/qt/QtWindow.h"

ViewCanvas::ViewCanvas(CNivoView& view) : QWidget(nullptr), m_view(view)
{
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    setAutoFillBackground(true);
}

void ViewCanvas::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    if (const QImage* drawing = m_view.Window().PendingDrawing()) {
        painter.setClipRegion(event->region());
        painter.drawImage(QPoint(0, 0), *drawing);
        return;
    }
    PainterDC dc(&painter);
    m_view.OnDraw(&dc);
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
    const QPoint p = ClientPoint(event->position());
    m_view.ZoomAtPoint(0, p.x(), p.y());
}

void ViewCanvas::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint p = ClientPoint(event->position());
    m_view.ShowPlaneCoordinates(0, p.x(), p.y());
}
