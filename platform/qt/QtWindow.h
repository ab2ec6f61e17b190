#pragma once
// A window handle for a Qt widget. Its client rectangle is the size of
// `client`; drawing through GetDC lands on `surface` at once.
#include <QImage>
#include <QPointer>
#include <QWidget>

#include "platform/WindowObject.h"

class QtWindow : public WindowObject {
public:
    explicit QtWindow(QWidget* surface, QWidget* client = nullptr);

    RECT ClientRect() const override;
    HDC AcquireDC() override;
    void ReleaseAcquiredDC(HDC dc) override;
    void Destroy() override {}

    // While a GetDC drawing is being shown, the surface's paint handler draws this.
    const QImage* PendingDrawing() const { return m_flushing ? &m_drawing : nullptr; }

private:
    QPointer<QWidget> m_surface;
    QPointer<QWidget> m_client;
    QImage m_drawing;
    bool m_flushing = false;
};
