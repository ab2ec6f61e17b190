#include "ToolbarImages.h"

#include <QPainter>
#include <QPainterPath>

#include "fractal/LiteralEscape.h"

namespace {
constexpr int kWidth = 16;
constexpr int kHeight = 15;
const QColor kFace(192, 192, 192);

// The set itself: white inside, a blue edge where points escape late, on black.
QImage SetImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    const double step = 3.0 / width;
    for (int row = 0; row < height; ++row)
        for (int column = 0; column < width; ++column) {
            const double x = -2.1 + (column + 0.5) * step;
            const double y = (row + 0.5 - height / 2.0) * step * width / height * 0.85;
            const int count = LiteralEscapeCount(x, y, 40);
            const QColor colour = count >= 40 ? Qt::white : count >= 6 ? QColor(0, 64, 255) : Qt::black;
            image.setPixelColor(column, row, colour);
        }
    return image;
}

QImage Face()
{
    QImage image(kWidth, kHeight, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    return image;
}

QImage Folder()
{
    QImage image = Face();
    QPainter p(&image);
    p.setPen(Qt::black);
    p.setBrush(QColor(255, 255, 0));
    p.drawRect(1, 4, 11, 8);
    p.setBrush(QColor(128, 128, 0));
    p.drawPolygon(QPolygon({{1, 12}, {4, 7}, {15, 7}, {12, 12}}));
    p.drawLine(2, 3, 5, 3);
    return image;
}

QImage Diskette()
{
    QImage image = Face();
    QPainter p(&image);
    p.setPen(Qt::black);
    p.setBrush(QColor(0, 0, 128));
    p.drawRect(1, 1, 13, 12);
    p.fillRect(4, 2, 8, 5, Qt::white);
    p.fillRect(5, 9, 6, 4, QColor(192, 192, 192));
    p.fillRect(9, 10, 1, 2, Qt::black);
    return image;
}

QImage Printer()
{
    QImage image = Face();
    QPainter p(&image);
    p.setPen(Qt::black);
    p.setBrush(Qt::white);
    p.drawRect(4, 1, 7, 5);
    p.setBrush(QColor(128, 128, 128));
    p.drawRect(1, 6, 13, 5);
    p.setBrush(Qt::white);
    p.drawRect(3, 9, 9, 4);
    p.fillRect(11, 7, 2, 1, QColor(0, 255, 0));
    return image;
}

QImage QuestionMark()
{
    QImage image = Face();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QFont font("DejaVu Sans");
    font.setBold(true);
    font.setPixelSize(14);
    QPainterPath path;
    path.addText(3, 13, font, "?");
    p.setPen(QPen(Qt::black, 1.2));
    p.setBrush(QColor(255, 255, 0));
    p.drawPath(path);
    return image;
}
} // namespace

QImage ToolbarImage(int button)
{
    switch (button) {
    case 1: {
        QImage image = Face();
        QPainter p(&image);
        p.drawImage(1, 1, SetImage(14, 13));
        return image;
    }
    case 2:
        return Folder();
    case 3:
        return Diskette();
    case 4:
        return Printer();
    case 5:
        return QuestionMark();
    }
    return {};
}

QIcon ApplicationIcon()
{
    QIcon icon;
    icon.addPixmap(QPixmap::fromImage(SetImage(32, 32)));
    icon.addPixmap(QPixmap::fromImage(SetImage(16, 16)));
    return icon;
}
