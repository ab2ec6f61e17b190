#pragma once
// The widget the view draws on, inside its scroll area. It hands paint and
// mouse events to the view, in the view's client coordinates: the screen
// pixels of its viewport.
#include <QWidget>

class QPainter;

class CNivoView;

class ViewCanvas : public QWidget {
public:
    explicit ViewCanvas(CNivoView& view);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    QPoint ClientPoint(const QPointF& canvasPoint) const;
    void FillBackground(QPainter& painter, const QRegion& region) const;

    CNivoView& m_view;
};
