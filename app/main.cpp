#include <QCoreApplication>
#include <clocale>
#include <cstdio>
#include <cstdlib>

#include "CNivoApp.h"
#include "cli/CommandLine.h"
#include "cli/RenderCommand.h"
#include "cli/TerminalProgress.h"

namespace {
QStringList Arguments(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}
} // namespace

int main(int argc, char** argv)
{
    const CommandLine line = CommandLine::Parse(Arguments(argc, argv));
    switch (line.mode) {
    case CommandLine::Mode::Help:
        std::fputs(CommandLine::HelpText().toUtf8().constData(), stdout);
        return 0;
    case CommandLine::Mode::Version:
        std::printf("nivo %s\n", NIVO_VERSION);
        return 0;
    case CommandLine::Mode::Error:
        std::fprintf(stderr, "nivo: %s\nEssayez « nivo --help » pour plus d'informations.\n",
                     line.error.toUtf8().constData());
        return 2;
    case CommandLine::Mode::Render: {
        // No window, no display, no fonts: Qt's core is all a picture and its file need.
        QCoreApplication app(argc, argv);
        std::setlocale(LC_NUMERIC, "C");
        int status;
        {
            const TerminalProgress progress(stderr);
            status = RunRenderCommand(line, argv[1 + line.outputArgument]);
        }
        // The file is in place or was refused; what the process holds, the
        // system takes back faster than the destructors would.
        std::fflush(nullptr);
        std::_Exit(status);
    }
    case CommandLine::Mode::Print:
        // Prints and ends without showing a window, so no display is needed.
        if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        break;
    case CommandLine::Mode::Window:
        break;
    }
    CNivoApp app(argc, argv);
    if (!app.InitInstance(line))
        return app.ExitStatus();
    return app.exec();
}
