#include "CommandLine.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>

#include "DeepOptions.h"
#include "dialogs/NumberText.h"

namespace {
constexpr std::int64_t kMostPixels = 200'000'000;
// The largest side a widget can take.
constexpr std::int32_t kLongestSide = 16'777'215;
// Over nine hours at 30 frames a second.
constexpr std::int32_t kMostFrames = 1'000'000;

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

// Options that stand alone, as the first argument, and cannot go with --render or --movie.
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

// Why `option` cannot stand where an option of `command` is expected; empty when it can.
QString MisplacedOption(const QString& option, const char* command)
{
    if (StandsAlone(option))
        return QString::fromUtf8("« %1 » ne va pas avec %2 : cette option s'emploie seule, en premier")
            .arg(option, QString::fromUtf8(command));
    if (!option.startsWith('-'))
        return QString::fromUtf8("argument en trop « %1 » : une option est attendue à sa place, "
                                 "par exemple --size")
            .arg(option);
    return {};
}

// The options a render and a movie share: the size, the limit and the centre.
// False when `option` is none of them; a refusal goes to `why`.
bool ReadPictureOption(const QString& option, const QString& value, CommandLine& line, QString& why)
{
    if (option == "--size") {
        if (!ReadSize(value, line))
            why = QString::fromUtf8("--size « %1 » refusé : LARGEURxHAUTEUR attendu, au plus %2 pixels "
                                    "et %3 pixels de côté, par exemple 1920x1080")
                      .arg(value)
                      .arg(kMostPixels)
                      .arg(kLongestSide);
    } else if (option == "--iterations") {
        const auto n = ParseInteger(value.toStdString());
        if (!n || *n < 1 || *n > 1000)
            why = QString::fromUtf8("--iterations « %1 » refusé : nombre entier de 1 à 1000 attendu").arg(value);
        else
            line.iterations = *n;
    } else if (option == "--center" || option == "--centre") {
        const QStringList parts = value.split(',');
        for (const QString& part : parts)
            if (parts.size() == 2 && IsOutOfRange(part) && why.isEmpty())
                why = QString::fromUtf8("%1 « %2 » refusé : %3").arg(option, value, OutOfRange(part));
        if (why.isEmpty() && !ReadCentre(value, line))
            why = QString::fromUtf8("%1 « %2 » refusé : X,Y attendu, par exemple -0.745,0.113").arg(option, value);
    } else {
        return false;
    }
    return true;
}

QString UnknownOption(const QString& option) { return QString::fromUtf8("option inconnue « %1 »").arg(option); }

// The refusal of an option given last, with no value after it: `own` are the
// command's options besides those every picture takes.
CommandLine RefuseLast(const QString& option, const QStringList& own)
{
    static const QStringList picture = {"--size", "--iterations", "--center", "--centre"};
    if (picture.contains(option) || own.contains(option))
        return Refuse(QString::fromUtf8("%1 attend une valeur").arg(option));
    return Refuse(UnknownOption(option));
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
        if (const QString why = MisplacedOption(option, "--render"); !why.isEmpty())
            return Refuse(why);
        if (i + 1 >= args.size())
            return RefuseLast(option, {"--render", "--zoom"});
        const QString value = args[++i];
        QString why;
        if (option == "--render") {
            line.output = value;
            line.outputArgument = i;
        } else if (line.deep && (option == "--iterations" || option == "--center" || option == "--centre" ||
                                 option == "--zoom")) {
            why = ReadDeepOption(option, value, line);
        } else if (option == "--zoom") {
            const auto zoom = ParseDouble(value.toStdString());
            if (IsOutOfRange(value))
                return Refuse(QString::fromUtf8("--zoom « %1 » refusé : %2").arg(value, OutOfRange(value)));
            if (!zoom || *zoom <= 0)
                return Refuse(QString::fromUtf8("--zoom « %1 » refusé : nombre positif attendu").arg(value));
            line.zoom = *zoom;
        } else if (!ReadPictureOption(option, value, line, why)) {
            return Refuse(UnknownOption(option));
        }
        if (!why.isEmpty())
            return Refuse(why);
    }
    if (line.output.isEmpty())
        return Refuse(QString::fromUtf8("--render attend un nom de fichier"));
    return line;
}

// Z0:Z1, two positive zooms whose ratio a double holds. The refusal, or empty.
QString ReadZoomRange(const QString& text, CommandLine& line)
{
    const QString refused = QString::fromUtf8("--zoom « %1 » refusé : ").arg(text);
    const QString expected = QString::fromUtf8("Z0:Z1 attendu, deux grossissements positifs, par exemple 1:1e6");
    const QStringList parts = text.split(':');
    if (parts.size() != 2)
        return refused + expected;
    for (const QString& part : parts)
        if (IsOutOfRange(part))
            return refused + OutOfRange(part);
    const auto start = ParseDouble(parts[0].toStdString());
    const auto end = ParseDouble(parts[1].toStdString());
    if (!start || !end)
        return refused + expected;
    for (const auto& [zoom, which] : {std::pair {*start, "de départ"}, std::pair {*end, "d'arrivée"}}) {
        if (zoom == 0)
            return refused + QString::fromUtf8("le grossissement %1 est nul").arg(QString::fromUtf8(which));
        if (zoom < 0)
            return refused + QString::fromUtf8("le grossissement %1 est négatif").arg(QString::fromUtf8(which));
    }
    const double ratio = *end / *start;
    if (!std::isfinite(ratio) || ratio == 0)
        return refused + QString::fromUtf8("le rapport des deux grossissements dépasse ce qu'un double peut tenir");
    line.zoom = *start;
    line.zoomEnd = *end;
    return {};
}

// With --deep, Z0:Z1 as two decimal texts, each a zoom --deep takes. The refusal, or empty.
QString ReadDeepZoomRange(const QString& text, CommandLine& line)
{
    const QStringList parts = text.split(':');
    if (parts.size() != 2)
        return QString::fromUtf8("--zoom « %1 » refusé : Z0:Z1 attendu, deux grossissements positifs, "
                                 "par exemple 1:1e600")
            .arg(text);
    if (const QString why = ReadDeepOption("--zoom", parts[1], line); !why.isEmpty())
        return why;
    line.deepZoomEnd = line.deepZoom;
    return ReadDeepOption("--zoom", parts[0], line);
}

// A-B, frame numbers within the movie. The refusal, or empty.
QString ReadRange(const QString& text, CommandLine& line)
{
    const QString refused = QString::fromUtf8("--range « %1 » refusé : ").arg(text);
    const QStringList parts = text.split('-');
    const auto first = ParseInteger(parts[0].toStdString());
    const auto last = parts.size() == 2 ? ParseInteger(parts[1].toStdString()) : std::nullopt;
    if (!first || !last)
        return refused + QString::fromUtf8("A-B attendu, deux numéros d'image, par exemple 0-99");
    if (*first > *last)
        return refused + QString::fromUtf8("la première image (%1) vient après la dernière (%2)").arg(*first).arg(*last);
    if (*last >= line.frames)
        return refused + QString::fromUtf8("le film a %1 images, numérotées de 0 à %2").arg(line.frames).arg(line.frames - 1);
    line.firstFrame = *first;
    line.lastFrame = *last;
    return {};
}

// Reads one option only a movie has; false when `option` is none of them.
bool ReadMovieOption(const QString& option, const QString& value, CommandLine& line, QString& why)
{
    if (option == "--zoom") {
        why = ReadZoomRange(value, line);
    } else if (option == "--frames") {
        const auto n = ParseInteger(value.toStdString());
        if (!n || *n < 2 || *n > kMostFrames)
            why = QString::fromUtf8("--frames « %1 » refusé : nombre entier d'images de 2 à %2 attendu")
                      .arg(value)
                      .arg(kMostFrames);
        else
            line.frames = *n;
    } else if (option == "--fps") {
        const auto fps = ParseDouble(value.toStdString());
        if (!fps || *fps < 0.01 || *fps > 1000)
            why = QString::fromUtf8("--fps « %1 » refusé : nombre d'images par seconde de 0.01 à 1000 attendu").arg(value);
        else
            line.framesPerSecond = *fps;
    } else if (option == "--codec") {
        if (value.isEmpty())
            why = QString::fromUtf8("--codec attend un nom de codec, par exemple libx264 ou ffv1");
        line.codec = value;
    } else {
        return false;
    }
    return true;
}

CommandLine ParseMovie(const QStringList& args)
{
    CommandLine line;
    line.mode = CommandLine::Mode::Movie;
    line.deep = AsksDeep(args);
    bool zoomGiven = false;
    // Read once the number of frames is known, wherever it comes.
    QString range;
    for (int i = 0; i < args.size(); ++i) {
        const QString& option = args[i];
        if (option == "--deep")
            continue;
        if (const QString why = MisplacedOption(option, "--movie"); !why.isEmpty())
            return Refuse(why);
        if (i + 1 >= args.size())
            return RefuseLast(option, {"--movie", "--range", "--zoom", "--frames", "--fps", "--codec"});
        const QString value = args[++i];
        QString why;
        if (option == "--movie") {
            line.output = value;
            line.outputArgument = i;
        } else if (option == "--range") {
            range = value;
        } else if (line.deep && option == "--zoom") {
            why = ReadDeepZoomRange(value, line);
        } else if (line.deep && (option == "--iterations" || option == "--center" || option == "--centre")) {
            why = ReadDeepOption(option, value, line);
        } else if (!ReadMovieOption(option, value, line, why) && !ReadPictureOption(option, value, line, why)) {
            return Refuse(UnknownOption(option));
        }
        if (!why.isEmpty())
            return Refuse(why);
        zoomGiven |= option == "--zoom";
    }
    if (line.output.isEmpty())
        return Refuse(QString::fromUtf8("--movie attend un nom de fichier"));
    if (!zoomGiven)
        return Refuse(QString::fromUtf8("--movie attend --zoom Z0:Z1, les grossissements de la première et de la dernière image"));
    if (line.frames == 0)
        return Refuse(QString::fromUtf8("--movie attend --frames K, le nombre d'images (au moins 2)"));
    line.lastFrame = line.frames - 1;
    if (!range.isNull())
        if (const QString why = ReadRange(range, line); !why.isEmpty())
            return Refuse(why);
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
    if (args.contains("--render") && args.contains("--movie"))
        return Refuse(QString::fromUtf8("--render et --movie ne vont pas ensemble"));
    if (args.contains("--render"))
        return ParseRender(args);
    if (args.contains("--movie"))
        return ParseMovie(args);
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
        "        nivo --movie FILM --zoom Z0:Z1 --frames K [--size LxH] [--iterations N] [--center X,Y]\n"
        "             [--fps F] [--codec NOM] [--range A-B] [--deep]\n"
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
        "  --movie FILM           calcule sans fenêtre un film de zoom et l'enregistre dans FILM ;\n"
        "                         le conteneur suit l'extension (.mkv, .mp4, .avi, .webm)\n"
        "  --zoom Z0:Z1           (film) grossissements de la première et de la dernière image ;\n"
        "                         l'image k est au grossissement Z0 * (Z1 / Z0)^(k / (K - 1))\n"
        "  --frames K             (film) nombre d'images, au moins 2\n"
        "  --fps F                (film) images par seconde, de 0.01 à 1000 (30 par défaut)\n"
        "  --codec NOM            (film) codec de FFmpeg : libx264, ffv1, libvpx-vp9, mpeg4...\n"
        "                         (par défaut : libx264 en .mkv et .mp4, libvpx-vp9 en .webm,\n"
        "                         mpeg4 en .avi)\n"
        "  --range A-B            (film) n'écrit que les images A à B, un segment que ffmpeg\n"
        "                         raccorde aux autres sans réencoder (-f concat -c copy)\n"
        "  -h, --help             affiche cette aide et quitte\n"
        "      --version          affiche la version et quitte\n"
        "\n"
        "Un calcul de plus d'une demi-seconde affiche son avancement sur la sortie\n"
        "d'erreur quand celle-ci est un terminal ; un film y affiche les images faites,\n"
        "les images par seconde et le temps restant. Un film interrompu (Ctrl+C) ne\n"
        "laisse aucun fichier, et l'ancien fichier reste intact.\n");
}
