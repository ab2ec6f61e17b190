#include "CommandLine.h"

#include <cmath>

#include "NumberText.h"

namespace {
constexpr std::int64_t kMostPixels = 200'000'000;
// The largest side a widget can take.
constexpr std::int32_t kLongestSide = 16'777'215;

bool ReadSize(const QString& text, CommandLine& line)
{
    const QStringList parts = text.split('x');
    if (parts.size() != 2)
        return false;
    const auto width = ParseInteger(parts[0].toStdString());
    const auto height = ParseInteger(parts[1].toStdString());
    // The picture needs three bytes a pixel; keep it within what one image can hold.
    if (!width || !height || *width < 1 || *height < 1 || std::int64_t(*width) * *height > kMostPixels ||
        *width > kLongestSide || *height > kLongestSide)
        return false;
    line.width = *width;
    line.height = *height;
    return true;
}

bool ReadCentre(const QString& text, CommandLine& line)
{
    const QStringList parts = text.split(',');
    if (parts.size() != 2)
        return false;
    const auto x = ParseDouble(parts[0].toStdString());
    const auto y = ParseDouble(parts[1].toStdString());
    if (!x || !y)
        return false;
    line.centerX = *x;
    line.centerY = *y;
    return true;
}

CommandLine Refuse(const QString& why)
{
    CommandLine line;
    line.mode = CommandLine::Mode::Error;
    line.error = why;
    return line;
}

CommandLine ParseRender(const QStringList& args)
{
    CommandLine line;
    line.mode = CommandLine::Mode::Render;
    for (int i = 0; i < args.size(); ++i) {
        const QString& option = args[i];
        if (i + 1 >= args.size())
            return Refuse(QString("%1 needs a value").arg(option));
        const QString value = args[++i];
        if (option == "--render") {
            line.output = value;
            line.outputArgument = i;
        } else if (option == "--size") {
            if (!ReadSize(value, line))
                return Refuse(QString("bad --size '%1': expected WIDTHxHEIGHT, e.g. 1920x1080, at most %2 pixels and %3 a side")
                                  .arg(value)
                                  .arg(kMostPixels)
                                  .arg(kLongestSide));
        } else if (option == "--iterations") {
            const auto n = ParseInteger(value.toStdString());
            if (!n || *n < 1 || *n > 1000)
                return Refuse(QString("bad --iterations '%1': expected a whole number from 1 to 1000").arg(value));
            line.iterations = *n;
        } else if (option == "--center" || option == "--centre") {
            if (!ReadCentre(value, line))
                return Refuse(QString("bad %1 '%2': expected X,Y, e.g. -0.745,0.113").arg(option, value));
        } else if (option == "--zoom") {
            const auto zoom = ParseDouble(value.toStdString());
            if (!zoom || *zoom <= 0)
                return Refuse(QString("bad --zoom '%1': expected a positive number").arg(value));
            line.zoom = *zoom;
        } else {
            return Refuse(QString("unknown option '%1'").arg(option));
        }
    }
    if (line.output.isEmpty())
        return Refuse("--render needs a file name");
    return line;
}
} // namespace

CommandLine CommandLine::Parse(const QStringList& args)
{
    CommandLine line;
    if (args.isEmpty())
        return line;
    const QString& first = args[0];
    if (first == "--help" || first == "-h") {
        line.mode = Mode::Help;
        return line;
    }
    if (first == "--version") {
        line.mode = Mode::Version;
        return line;
    }
    if (args.contains("--render"))
        return ParseRender(args);
    if (first == "-p" || first == "/p") {
        if (args.size() != 2)
            return Refuse("-p needs exactly one file");
        line.mode = Mode::Print;
        line.file = args[1];
        return line;
    }
    if (first == "-pt" || first == "/pt") {
        // An empty name would quietly mean the default printer.
        if (args.size() < 3 || args.size() > 5 || args[2].isEmpty())
            return Refuse("-pt needs a file and a printer");
        line.mode = Mode::Print;
        line.file = args[1];
        line.printer = args[2];
        return line;
    }
    if (first.startsWith('-'))
        return Refuse(QString("unknown option '%1'").arg(first));
    if (args.size() > 1)
        return Refuse("only one file can be opened");
    line.file = first;
    return line;
}

QString CommandLine::HelpText()
{
    return QString::fromUtf8(
        "Usage: nivo [FILE]\n"
        "       nivo -p FILE | -pt FILE PRINTER\n"
        "       nivo --render IMAGE [--size WxH] [--iterations N] [--center X,Y] [--zoom Z]\n"
        "\n"
        "Explorateur de l'ensemble de Mandelbrot.\n"
        "\n"
        "  FILE                 open FILE as the document (its contents are not read)\n"
        "  -p FILE              print one page on the default printer and quit\n"
        "  -pt FILE PRINTER     print one page on PRINTER and quit\n"
        "  --render IMAGE       render without a window and save IMAGE; the format\n"
        "                       follows the extension (.png, .jpg, .bmp, .tif, ...)\n"
        "  --size WxH           client size in pixels (default 800x600)\n"
        "  --iterations N       iteration limit, 1 to 1000 (default 50)\n"
        "  --center X,Y         centre of the picture in the plane (default -0.5,0)\n"
        "  --zoom Z             magnification; 1 shows 3.6 units across (default 1)\n"
        "  -h, --help           show this help and exit\n"
        "      --version        show the version and exit\n");
}
