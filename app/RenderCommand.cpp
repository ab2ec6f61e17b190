#include "RenderCommand.h"

#include <QApplication>
#include <cstdio>

#include "CommandLine.h"
#include "view/CDibImage.h"
#include "view/CNivoView.h"

int RunRenderCommand(const CommandLine& line)
{
    CNivoView view;
    view.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view.resize(line.width, line.height);
    // Shown to be laid out at its size, then hidden before anything is painted
    // or drawn on it: nobody sees this window.
    view.show();
    view.hide();
    QApplication::processEvents();
    if (view.viewport()->width() != line.width || view.viewport()->height() != line.height) {
        std::fprintf(stderr, "nivo: cannot make a %dx%d picture here\n", line.width, line.height);
        return 1;
    }
    view.m_iterations = line.iterations;
    view.m_centerX = line.centerX;
    view.m_centerY = line.centerY;
    view.m_zoom = line.zoom;
    view.Render();
    if (!view.m_image || !view.m_image->m_bitmap) {
        std::fprintf(stderr, "nivo: not enough memory for a %dx%d picture\n", line.width, line.height);
        return 1;
    }
    const QByteArray path = line.output.toUtf8();
    if (view.m_image->Save(path.constData()) != S_OK) {
        std::fprintf(stderr, "nivo: could not write '%s' (unknown extension, or the folder is not writable)\n",
                     path.constData());
        return 1;
    }
    return 0;
}
