#pragma once
// Widgets are laid out in logical pixels; pictures are made, shown and
// pointed at in the screen's own pixels, so that a scaled desktop shows
// them crisp, one screen pixel per picture pixel.
#include <QPoint>
#include <QPointF>
#include <QRegion>
#include <QSize>

class QWidget;

// The screen pixels of a widget that its window shows: a picture of that
// size covers them all and nothing it draws falls outside.
QSize DevicePixels(const QWidget& widget);
// The screen pixel under the pointer, in the widget's screen pixels, for a
// pointer event at `logical` in the widget's logical coordinates.
QPoint DevicePixelAt(const QWidget& widget, const QPointF& logical);
// The logical region that covers a region of screen pixels.
QRegion LogicalRegion(const QWidget& widget, const QRegion& devicePixels);
