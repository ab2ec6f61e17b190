// Command lines of any words: the parse never crashes, and what it accepts
// is something the program can do (a render it can allocate and compute, a
// print with its file, one document); what it refuses says why.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>

#include "FuzzCheck.h"
#include "cli/CommandLine.h"

namespace {
// Words the parser knows, so that inputs reach past the first refusal.
const char* const kWords[] = {"--render", "--size", "--iterations", "--center", "--centre", "--zoom",
                              "-p", "/p", "-pt", "/pt", "--help", "-h", "--version", "a.png", "1920x1080",
                              "-0.745,0.113", "1000", "1e308", "0"};

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
    Require(line.iterations >= 1 && line.iterations <= 1000, "a render has a limit the view takes");
    Require(std::isfinite(line.centerX) && std::isfinite(line.centerY), "a render has a finite centre");
    Require(std::isfinite(line.zoom) && line.zoom > 0, "a render has a positive finite zoom");
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
