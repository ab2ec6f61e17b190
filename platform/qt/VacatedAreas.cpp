#include "VacatedAreas.h"

#include <QApplication>
#include <QBackingStore>
#include <QEvent>
#include <QWidget>

#include "GdiFlush.h"

VacatedAreas::VacatedAreas() { qApp->installEventFilter(this); }

bool VacatedAreas::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Hide && watched->isWidgetType()) {
        const auto* widget = static_cast<const QWidget*>(watched);
        if (widget->isWindow())
            m_areas += widget->frameGeometry();
    }
    return QObject::eventFilter(watched, event);
}

void VacatedAreas::Restore(QWidget& window) const
{
    QWidget& top = *window.window();
    QBackingStore* store = top.backingStore();
    if (m_areas.isEmpty() || !top.isVisible() || !store || !top.windowHandle())
        return;
    const QRegion inside = m_areas.translated(-top.mapToGlobal(QPoint(0, 0))) & top.rect();
    if (inside.isEmpty())
        return;
    store->flush(inside, top.windowHandle());
    GdiFlush();
}
