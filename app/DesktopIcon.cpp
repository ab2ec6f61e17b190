#include "DesktopIcon.h"

#include <QPainter>
#include <QString>
#include <array>
#include <map>
#include <vector>

#include "fractal/LiteralEscape.h"

namespace {
// The window icon's colours: white where the set is, blue where points escape
// late, black elsewhere.
constexpr int kLimit = 40;
constexpr int kLate = 6;
const QColor kInside(255, 255, 255);
const QColor kLateEscape(0, 64, 255);
const QColor kEarlyEscape(0, 0, 0);
// The plane square the tile shows, and its corners' radius as a part of its side.
constexpr double kLeft = -2.2;
constexpr double kSpan = 3.0;
constexpr double kCornerRadius = 0.18;
// The SVG's side, and the grid its outlines are traced on.
constexpr int kSvgSide = 256;
constexpr int kTraceCells = 192;

// Escape count at a point of the tile, u rightwards and v downwards, each 0 to 1.
int CountAt(double u, double v)
{
    return LiteralEscapeCount(kLeft + u * kSpan, (0.5 - v) * kSpan, kLimit);
}

QColor ColourOf(int count)
{
    return count >= kLimit ? kInside : count >= kLate ? kLateEscape : kEarlyEscape;
}

// The mean colour of 4 x 4 samples of each pixel, so edges are smooth at every size.
QImage SetPicture(int size)
{
    constexpr int kSamples = 4;
    QImage picture(size, size, QImage::Format_RGB32);
    for (int row = 0; row < size; ++row)
        for (int column = 0; column < size; ++column) {
            int red = 0, green = 0, blue = 0;
            for (int sy = 0; sy < kSamples; ++sy)
                for (int sx = 0; sx < kSamples; ++sx) {
                    const QColor c = ColourOf(CountAt((column + (sx + 0.5) / kSamples) / size,
                                                      (row + (sy + 0.5) / kSamples) / size));
                    red += c.red();
                    green += c.green();
                    blue += c.blue();
                }
            constexpr int n = kSamples * kSamples;
            picture.setPixelColor(column, row, QColor(red / n, green / n, blue / n));
        }
    return picture;
}

// Closed outlines of the grid points whose count reaches `level`, traced by
// marching squares through the middles of the cell sides. The grid has a
// ring of points outside the tile that never reach it, so every outline closes.
class Outline
{
public:
    explicit Outline(int level) : m_level(level)
    {
        for (int j = -1; j <= kTraceCells; ++j)
            for (int i = -1; i <= kTraceCells; ++i)
                LinkCell(i, j);
    }

    // SVG path data, one closed sub-path per outline, in the SVG's units.
    QString PathData()
    {
        QString data;
        while (!m_links.empty()) {
            const int start = m_links.begin()->first;
            int previous = start, point = Other(start, -1);
            data += QStringLiteral("M%1").arg(Coordinates(start));
            while (point != start) {
                data += QStringLiteral("L%1").arg(Coordinates(point));
                const int next = Other(point, previous);
                m_links.erase(previous);
                previous = point;
                point = next;
            }
            m_links.erase(previous);
            m_links.erase(start);
            data += QLatin1Char('Z');
        }
        return data;
    }

private:
    static constexpr int kStride = kTraceCells + 3;

    bool Reaches(int i, int j) const
    {
        if (i < 0 || j < 0 || i > kTraceCells || j > kTraceCells)
            return false;
        return CountAt(double(i) / kTraceCells, double(j) / kTraceCells) >= m_level;
    }
    // The middle of a cell side: 2 per grid point, across from it and down from it.
    static int Across(int i, int j) { return ((j + 1) * kStride + i + 1) * 2; }
    static int Down(int i, int j) { return Across(i, j) + 1; }

    void LinkCell(int i, int j)
    {
        const bool a = Reaches(i, j), b = Reaches(i + 1, j), c = Reaches(i + 1, j + 1), d = Reaches(i, j + 1);
        const int top = Across(i, j), right = Down(i + 1, j), bottom = Across(i, j + 1), left = Down(i, j);
        if (a == c && b == d && a != b) { // a saddle: the corners that reach it are cut off alone
            if (a) {
                Link(top, left);
                Link(right, bottom);
            } else {
                Link(top, right);
                Link(bottom, left);
            }
            return;
        }
        std::vector<int> crossed;
        if (a != b) crossed.push_back(top);
        if (b != c) crossed.push_back(right);
        if (d != c) crossed.push_back(bottom);
        if (a != d) crossed.push_back(left);
        if (crossed.size() == 2)
            Link(crossed[0], crossed[1]);
    }

    void Link(int p, int q)
    {
        m_links.try_emplace(p, std::array<int, 2>{-1, -1});
        m_links.try_emplace(q, std::array<int, 2>{-1, -1});
        Attach(p, q);
        Attach(q, p);
    }
    void Attach(int p, int q)
    {
        auto& ends = m_links[p];
        ends[ends[0] < 0 ? 0 : 1] = q;
    }
    // The neighbour of `point` that is not `from` (the first one when `from` is -1).
    int Other(int point, int from) const
    {
        const auto& ends = m_links.at(point);
        return ends[0] == from ? ends[1] : ends[0];
    }

    static QString Coordinates(int point)
    {
        const int cell = point / 2;
        double x = cell % kStride - 1, y = cell / kStride - 1;
        (point % 2 ? y : x) += 0.5;
        const double scale = double(kSvgSide) / kTraceCells;
        return QStringLiteral("%1 %2").arg(x * scale, 0, 'f', 1).arg(y * scale, 0, 'f', 1);
    }

    int m_level;
    std::map<int, std::array<int, 2>> m_links;
};
} // namespace

QImage DesktopIcon(int size)
{
    QImage icon(size, size, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    QPainter painter(&icon);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(SetPicture(size));
    painter.drawRoundedRect(QRectF(0, 0, size, size), kCornerRadius * size, kCornerRadius * size);
    return icon;
}

QByteArray DesktopIconSvg()
{
    const QString svg = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\" viewBox=\"0 0 %1 %1\">\n"
        "<clipPath id=\"tile\"><rect width=\"%1\" height=\"%1\" rx=\"%2\"/></clipPath>\n"
        "<g clip-path=\"url(#tile)\">\n"
        "<rect width=\"%1\" height=\"%1\" fill=\"%3\"/>\n"
        "<path fill=\"%4\" fill-rule=\"evenodd\" d=\"%5\"/>\n"
        "<path fill=\"%6\" fill-rule=\"evenodd\" d=\"%7\"/>\n"
        "</g>\n</svg>\n");
    return svg.arg(kSvgSide)
        .arg(kCornerRadius * kSvgSide)
        .arg(kEarlyEscape.name(), kLateEscape.name(), Outline(kLate).PathData(), kInside.name(),
             Outline(kLimit).PathData())
        .toUtf8();
}
