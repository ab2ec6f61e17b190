// The yardstick for start-up: a bare Qt Widgets program. With no argument it
// shows one widget offscreen and ends, as `nivo --render x.bmp --size 1x1`
// does its work without a display; with --main-window it shows a maximised
// QMainWindow and runs until it is ended, for the time until it is mapped.
// --toolbar (and --printer, in the build that links Qt's print support) add
// what the viewer's window has beyond that, to tell Qt's own cost of them
// from ours; --text adds a menu bar and a status bar line, whose text makes
// Qt read the font configuration before the window can be sized.
#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QStatusBar>
#ifdef BARE_QT_PRINTER
#include <QPrinter>
#endif
#include <QToolBar>
#include <QWidget>
#include <cstring>
#include <memory>

namespace {
bool Has(int argc, char** argv, const char* option)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], option) == 0)
            return true;
    return false;
}
} // namespace

int main(int argc, char** argv)
{
    const bool mainWindow = Has(argc, argv, "--main-window");
    if (!mainWindow)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (mainWindow) {
#ifdef BARE_QT_PRINTER
        std::unique_ptr<QPrinter> printer;
        if (Has(argc, argv, "--printer"))
            printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
#endif
        QMainWindow window;
        window.setWindowTitle("bare");
        if (Has(argc, argv, "--toolbar"))
            window.addToolBar(new QToolBar(&window));
        if (Has(argc, argv, "--text")) {
            window.menuBar()->addMenu("&Fichier");
            window.statusBar()->showMessage("Prêt");
        }
        window.showMaximized();
        return app.exec();
    }
    QWidget widget;
    widget.resize(1, 1);
    widget.show();
    QApplication::processEvents();
    return 0;
}
