// The yardstick for start-up: a bare Qt Widgets program. With no argument it
// shows one widget offscreen and ends, as `nivo --render x.bmp --size 1x1`
// does its work without a display; with --main-window it shows a maximised
// QMainWindow and runs until it is ended, for the time until it is mapped.
#include <QApplication>
#include <QMainWindow>
#include <QWidget>
#include <cstring>

int main(int argc, char** argv)
{
    const bool mainWindow = argc > 1 && std::strcmp(argv[1], "--main-window") == 0;
    if (!mainWindow)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (mainWindow) {
        QMainWindow window;
        window.setWindowTitle("bare");
        window.showMaximized();
        return app.exec();
    }
    QWidget widget;
    widget.resize(1, 1);
    widget.show();
    QApplication::processEvents();
    return 0;
}
