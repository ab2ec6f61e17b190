#include "CommandLine.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

#include "DeepOptions.h"
#include "dialogs/NumberText.h"

namespace {
constexpr std::int64_t kMostPixels = 200'000'000;
// The largest side a widget can take.
constexpr std::int32_t kLongestSide = 16'777'215;

// A number well written but beyond what a double holds: 1e309, or 1e-400
// (too close to zero).
bool IsOutOfRange(const QString& text)
{
    const std::string bytes = text.toStdString();
    double value = 0;
    const char* end = bytes.data() + bytes.size();
    const auto [stop, error] = std::from_chars(bytes.data(), end, value);
    return error == std::errc::result_out_of_range && stop == end;
}

QString OutOfRange(const QString& text)
{
    if (std::isinf(std::strtod(text.toStdString().c_str(), nullptr)))
        return QString::fromUtf8("« %1 » est hors limites (au plus 1.79769313486232e+308 en valeur absolue)").arg(text);
    return QString::fromUtf8("« %1 » est trop proche de zéro (au moins 4.9e-324 en valeur absolue)").arg(text);
}

// Options that stand alone, as the first argument, and cannot go with --render.
bool StandsAlone(const QString& option)
{
    static const QStringList alone = {"--help", "-h", "--version", "-p", "/p", "-pt", "/pt"};
    return alone.contains(option);
}

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

// Whether --deep stands where an option does; it takes no value.
bool AsksDeep(const QStringList& args)
{
    for (int i = 0; i < args.size(); i += 2) {
        if (args[i] == "--deep")
            return true;
    }
    return false;
}

CommandLine ParseRender(const QStringList& args)
{
    CommandLine line;
    line.mode = CommandLine::Mode::Render;
    line.deep = AsksDeep(args);
    for (int i = 0; i < args.size(); ++i) {
        const QString& option = args[i];
        if (option == "--deep")
            continue;
        if (StandsAlone(option))
            return Refuse(QString::fromUtf8("« %1 » ne va pas avec --render : cette option s'emploie seule, en premier")
                              .arg(option));
        if (!option.startsWith('-'))
            return Refuse(QString::fromUtf8("argument en trop « %1 » : une option est attendue à sa place, "
                                            "par exemple --size")
                              .arg(option));
        if (i + 1 >= args.size())
            return Refuse(QString::fromUtf8("%1 attend une valeur").arg(option));
        const QString value = args[++i];
        if (option == "--render") {
            line.output = value;
            line.outputArgument = i;
        } else if (option == "--size") {
            if (!ReadSize(value, line))
                return Refuse(QString::fromUtf8("--size « %1 » refusé : LARGEURxHAUTEUR attendu, au plus %2 pixels "
                                                "et %3 pixels de côté, par exemple 1920x1080")
                                  .arg(value)
                                  .arg(kMostPixels)
                                  .arg(kLongestSide));
        } else if (line.deep && (option == "--iterations" || option == "--center" || option == "--centre" ||
                                 option == "--zoom")) {
            const QString why = ReadDeepOption(option, value, line);
            if (!why.isEmpty())
                return Refuse(why);
        } else if (option == "--iterations") {
            const auto n = ParseInteger(value.toStdString());
            if (!n || *n < 1 || *n > 1000)
                return Refuse(QString::fromUtf8("--iterations « %1 » refusé : nombre entier de 1 à 1000 attendu").arg(value));
            line.iterations = *n;
        } else if (option == "--center" || option == "--centre") {
            const QStringList parts = value.split(',');
            for (const QString& part : parts)
                if (parts.size() == 2 && IsOutOfRange(part))
                    return Refuse(QString::fromUtf8("%1 « %2 » refusé : %3").arg(option, value, OutOfRange(part)));
            if (!ReadCentre(value, line))
                return Refuse(QString::fromUtf8("%1 « %2 » refusé : X,Y attendu, par exemple -0.745,0.113").arg(option, value));
        } else if (option == "--zoom") {
            const auto zoom = ParseDouble(value.toStdString());
            if (IsOutOfRange(value))
                return Refuse(QString::fromUtf8("--zoom « %1 » refusé : %2").arg(value, OutOfRange(value)));
            if (!zoom || *zoom <= 0)
                return Refuse(QString::fromUtf8("--zoom « %1 » refusé : nombre positif attendu").arg(value));
            line.zoom = *zoom;
        } else {
            return Refuse(QString::fromUtf8("option inconnue « %1 »").arg(option));
        }
    }
    if (line.output.isEmpty())
        return Refuse(QString::fromUtf8("--render attend un nom de fichier"));
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
            return Refuse(QString::fromUtf8("-p attend exactement un fichier"));
        line.mode = Mode::Print;
        line.file = args[1];
        line.fileArgument = 1;
        return line;
    }
    if (first == "-pt" || first == "/pt") {
        // An empty name would quietly mean the default printer.
        if (args.size() < 3 || args.size() > 5 || args[2].isEmpty())
            return Refuse(QString::fromUtf8("-pt attend un fichier et une imprimante"));
        line.mode = Mode::Print;
        line.file = args[1];
        line.fileArgument = 1;
        line.printer = args[2];
        return line;
    }
    if (first.startsWith('-'))
        return Refuse(QString::fromUtf8("option inconnue « %1 »").arg(first));
    if (args.size() > 1)
        return Refuse(QString::fromUtf8("un seul fichier peut être ouvert à la fois"));
    line.file = first;
    line.fileArgument = 0;
    return line;
}

QString CommandLine::HelpText()
{
    return QString::fromUtf8(
        "Usage : nivo [FICHIER]\n"
        "        nivo -p FICHIER | -pt FICHIER IMPRIMANTE\n"
        "        nivo --render IMAGE [--size LxH] [--iterations N] [--center X,Y] [--zoom Z] [--deep]\n"
        "\n"
        "Explorateur de l'ensemble de Mandelbrot.\n"
        "\n"
        "  FICHIER                ouvre FICHIER comme document (son contenu n'est pas lu)\n"
        "  -p FICHIER             imprime une page sur l'imprimante par défaut et quitte\n"
        "  -pt FICHIER IMPRIMANTE imprime une page sur IMPRIMANTE et quitte\n"
        "  --render IMAGE         calcule l'image sans fenêtre et l'enregistre dans IMAGE ;\n"
        "                         le format suit l'extension (.png, .jpg, .bmp, .tif...)\n"
        "  --size LxH             taille en pixels, largeur x hauteur (800x600 par défaut)\n"
        "  --iterations N         nombre d'itérations, de 1 à 1000 (50 par défaut)\n"
        "  --center X,Y           centre de l'image dans le plan (-0.5,0 par défaut)\n"
        "  --zoom Z               grossissement ; 1 montre 3,6 unités en largeur (1 par défaut)\n"
        "  --deep                 calcul exact à tout grossissement (jusqu'à 1e100000) : le centre\n"
        "                         et le zoom sont pris tels qu'écrits, en décimal, et N va de 1\n"
        "                         à 10000000\n"
        "  -h, --help             affiche cette aide et quitte\n"
        "      --version          affiche la version et quitte\n"
        "\n"
        "Un calcul de plus d'une demi-seconde affiche son avancement sur la sortie\n"
        "d'erreur quand celle-ci est un terminal.\n");
}
