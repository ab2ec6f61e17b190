// Writes the application icon for installation: a PNG drawn at each standard
// size and the scalable SVG, in the layout of the hicolor icon theme.
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <cstdio>

#include "DesktopIcon.h"

namespace {
bool WriteSvg(const QString& root)
{
    const QString dir = root + "/scalable/apps";
    QFile file(dir + "/fr.lumivex.Nivo.svg");
    const QByteArray svg = DesktopIconSvg();
    return QDir().mkpath(dir) && file.open(QIODevice::WriteOnly) && file.write(svg) == svg.size() && file.flush();
}
} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: nivo_icons OUTPUT_DIR\n");
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString dir = QString("%1/%2x%2/apps").arg(root).arg(size);
        if (!QDir().mkpath(dir) || !DesktopIcon(size).save(dir + "/fr.lumivex.Nivo.png"))
            return 1;
    }
    return WriteSvg(root) ? 0 : 1;
}
