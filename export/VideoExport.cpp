#include "VideoExport.h"

#include <QApplication>
#include <QWidget>

#include "AviWriter.h"
#include "platform/Gdi32.h"

void VideoExport::WriteTestVideo(HBITMAP bitmap)
{
    AVICOMPRESSOPTIONS options {};
    options.fccHandler = mmioFOURCC('d', 'i', 'v', 'x');
    AviWriter* writer = AviOpenWriter("test.avi", 41);
    AviConfigureVideo(writer, bitmap, &options, true, nullptr);
    for (int frame = 0; frame < 50; ++frame)
        AviAppendFrame(writer, bitmap);
    AviCloseWriter(writer);
    DeleteObject(bitmap);
}

void VideoExport::RaiseCompressionDialog()
{
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->objectName() == QLatin1String("CompressionDialog") && window->isVisible()) {
            window->raise();
            window->activateWindow();
        }
}
