#pragma once
// A window handle for a Qt widget. Its client rectangle is the size of
// `client` in screen pixels; drawing through GetDC lands on `surface` at
// once, one screen pixel per pixel drawn, and what was not drawn on stays
// as it was.
#include <QPointer>
#include <QRegion>
#include <QWidget>

#include "SurfaceDrawing.h"
#include "platform/WindowObject.h"

class QtWindow : public WindowObject {
public:
    explicit QtWindow(QWidget* surface, QWidget* client = nullptr);

    RECT ClientRect() const override;
    HDC AcquireDC() override;
    void ReleaseAcquiredDC(HDC dc) override;
    void Destroy() override {}

    // While a GetDC drawing is being shown, the surface's paint handler paints
    // it over the parts that were drawn on.
    SurfaceDrawing* PendingDrawing() { return m_flushing ? &m_drawing : nullptr; }

private:
    QPointer<QWidget> m_surface;
    QPointer<QWidget> m_client;
    SurfaceDrawing m_drawing;
    QRegion m_drawn;
    bool m_flushing = false;
};
