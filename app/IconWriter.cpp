// Writes the application icon as PNG files at the standard sizes, for installation.
#include <QGuiApplication>
#include <QIcon>
#include <QDir>
#include <cstdio>

#include "ToolbarImages.h"

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: nivo_icons OUTPUT_DIR\n");
        return 2;
    }
    const QIcon icon = ApplicationIcon();
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const QString dir = QString("%1/%2x%2/apps").arg(argv[1]).arg(size);
        if (!QDir().mkpath(dir) || !icon.pixmap(size, size).scaled(size, size).save(dir + "/fr.lumivex.Nivo.png"))
            return 1;
    }
    return 0;
}
