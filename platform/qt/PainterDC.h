#pragma once
// A device context that draws through a QPainter: a widget being painted,
// a printer page or a print preview.
#include "platform/DeviceContext.h"

class QPainter;

class PainterDC : public DeviceContext {
public:
    explicit PainterDC(QPainter* painter) : m_painter(painter) {}
    BOOL DrawBitmap(int x, int y, int width, int height, const GdiObject& source, int sourceX, int sourceY) override;

private:
    QPainter* m_painter;
};
