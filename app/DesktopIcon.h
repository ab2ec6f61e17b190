#pragma once
// The application's icon for desktops and launchers: the set on a rounded
// tile whose corners are transparent, drawn at each size it is installed at,
// and as a scalable SVG of the same regions.
#include <QByteArray>
#include <QImage>

QImage DesktopIcon(int size);
QByteArray DesktopIconSvg();
