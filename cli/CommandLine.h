#pragma once
// What the program was asked to do on its command line.
#include <QString>
#include <QStringList>
#include <cstdint>
#include <string>

struct CommandLine {
    enum class Mode { Window, Render, Movie, Print, Help, Version, Error };

    Mode mode = Mode::Window;
    QString file;     // document to open, or to print
    // Where the document's name is among the arguments (its bytes name the
    // file), or -1.
    int fileArgument = -1;
    QString printer;  // -pt: the named printer; empty for the default one
    QString error;    // why the command line was refused

    // --render and --movie
    QString output;
    // Where the output name is among the arguments: its bytes, not this
    // decoded text, name the file.
    int outputArgument = -1;
    std::int32_t width = 800;
    std::int32_t height = 600;
    std::int32_t iterations = 50;
    double centerX = -0.5;
    double centerY = 0.0;
    double zoom = 1.0;
    // --deep: the centre and the zoom as written, never rounded to a double.
    bool deep = false;
    std::string deepCentreX = "-0.5";
    std::string deepCentreY = "0";
    std::string deepZoom = "1";
    // --movie --deep: the last frame's zoom, as written.
    std::string deepZoomEnd = "1";

    // --movie: frame k of `frames` is the picture at zoom * pow(zoomEnd / zoom, k / (frames - 1.0));
    // frames firstFrame to lastFrame are written.
    double zoomEnd = 1.0;
    std::int32_t frames = 0;
    std::int32_t firstFrame = 0;
    std::int32_t lastFrame = 0;
    double framesPerSecond = 30.0;
    QString codec; // empty: the container's usual one

    // `arguments` without the program name.
    static CommandLine Parse(const QStringList& arguments);
    static QString HelpText();
};
