// Command lines of any words: the parse never crashes, and what it accepts
// is something the program can do (a render it can allocate and compute, a
// movie whose every frame has a zoom, a print with its file, one document);
// what it refuses says why.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>

#include "FuzzCheck.h"
#include "cli/CommandLine.h"
#include "fractal/deep/DeepView.h"

namespace {
// Words the parser knows, so that inputs reach past the first refusal.
const char* const kWords[] = {"--render", "--size", "--iterations", "--center", "--centre", "--zoom",
                              "-p", "/p", "-pt", "/pt", "--help", "-h", "--version", "a.png", "1920x1080",
                              "-0.745,0.113", "1000", "1e308", "0", "--movie", "--frames", "--fps", "--codec",
                              "--range", "a.mkv", "1:1e6", "1e-300:1e300", "0-3", "12", "ffv1", "--deep", "1e20:1e600"};

QStringList ArgumentsFrom(FuzzedDataProvider& input)
{
    QStringList arguments;
    const int count = input.ConsumeIntegralInRange(0, 9);
    for (int i = 0; i < count; ++i) {
        if (input.ConsumeBool())
            arguments << QString::fromLatin1(input.PickValueInArray(kWords));
        else
            arguments << QString::fromStdString(input.ConsumeRandomLengthString(40));
    }
    return arguments;
}

void CheckRender(const CommandLine& line)
{
    Require(!line.output.isEmpty(), "a render has a file to write");
    Require(line.width >= 1 && line.height >= 1, "a render has a picture");
    Require(std::int64_t(line.width) * line.height <= 200'000'000, "a render fits one image");
    Require(line.iterations >= 1 && line.iterations <= (line.deep ? DeepView::kMostIterations : 1000),
            "a render has a limit its calculator takes");
    Require(std::isfinite(line.centerX) && std::isfinite(line.centerY), "a render has a finite centre");
    Require(std::isfinite(line.zoom) && line.zoom > 0, "a render has a positive finite zoom");
}
void CheckMovie(const CommandLine& line)
{
    CheckRender(line);
    Require(std::isfinite(line.zoomEnd) && line.zoomEnd > 0, "a movie ends on a positive finite zoom");
    const double ratio = line.zoomEnd / line.zoom;
    Require(std::isfinite(ratio) && ratio > 0, "every frame of a movie has a positive finite zoom");
    Require(line.frames >= 2, "a movie has two frames or more");
    Require(0 <= line.firstFrame && line.firstFrame <= line.lastFrame && line.lastFrame < line.frames,
            "a movie writes frames it has");
    Require(line.framesPerSecond >= 0.01 && line.framesPerSecond <= 1000, "a movie has a rate players take");
    Require(!line.deep || (!line.deepZoom.empty() && !line.deepZoomEnd.empty()), "a deep movie has its two zooms");
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    const QStringList arguments = ArgumentsFrom(input);
    const CommandLine line = CommandLine::Parse(arguments);
    using Mode = CommandLine::Mode;
    Require((line.mode == Mode::Error) == !line.error.isEmpty(), "an error, and only an error, says why");
    switch (line.mode) {
    case Mode::Render:
        Require(arguments.contains("--render"), "a render is asked for");
        CheckRender(line);
        break;
    case Mode::Movie:
        Require(arguments.contains("--movie") && !arguments.contains("--render"), "a movie is asked for");
        CheckMovie(line);
        break;
    case Mode::Print:
        Require(arguments.size() >= 2 && line.file == arguments[1], "a print has its file");
        Require(line.printer.isEmpty() == (arguments[0] == "-p" || arguments[0] == "/p"), "-pt names a printer");
        break;
    case Mode::Window:
        Require(arguments.size() <= 1, "one document at most");
        Require(line.file == (arguments.isEmpty() ? QString() : arguments[0]), "the document is the argument");
        Require(!line.file.startsWith('-'), "an option is no document");
        break;
    case Mode::Help:
    case Mode::Version:
        Require(!arguments.isEmpty(), "help and version are asked for");
        break;
    case Mode::Error:
        break;
    }
    return 0;
}
