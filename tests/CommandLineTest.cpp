#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "SmallDisk.h"
#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <vector>
#include <dirent.h>
#include <pty.h>
#include <csignal>
#include <thread>

#include "dialogs/CProgressDlg.h"
#include "cli/CommandLine.h"
#include "cli/MovieProgress.h"
#include "cli/PrintableName.h"
#include "fractal/deep/DeepZoomCurve.h"
#include "cli/TerminalProgress.h"
#include "app/SettingsText.h"
#include "fractal/deep/DeepCalculator.h"
#include "platform/User32.h"
#include "view/CNivoView.h"
#include "render/PixelColour.h"

namespace {
using Mode = CommandLine::Mode;

CommandLine Parse(const QStringList& args) { return CommandLine::Parse(args); }

TEST(CommandLine, PlainFormsOpenOrPrint)
{
    EXPECT_EQ(Parse({}).mode, Mode::Window);
    const CommandLine open = Parse({"/tmp/doc.nivo"});
    EXPECT_EQ(open.mode, Mode::Window);
    EXPECT_EQ(open.file, "/tmp/doc.nivo");
    const CommandLine print = Parse({"-p", "/tmp/doc"});
    EXPECT_EQ(print.mode, Mode::Print);
    EXPECT_EQ(print.file, "/tmp/doc");
    EXPECT_TRUE(print.printer.isEmpty());
    const CommandLine named = Parse({"-pt", "/tmp/doc", "PDF"});
    EXPECT_EQ(named.mode, Mode::Print);
    EXPECT_EQ(named.printer, "PDF");
    EXPECT_EQ(Parse({"--help"}).mode, Mode::Help);
    EXPECT_EQ(Parse({"--version"}).mode, Mode::Version);
}

TEST(CommandLine, RefusesWhatItCannotDo)
{
    for (const QStringList& args :
         {QStringList {"-x"}, QStringList {"-p"}, QStringList {"-pt", "f"}, QStringList {"-pt", "f", ""}, QStringList {"a", "b"},
          QStringList {"--render"}, QStringList {"--render", "a.png", "--size", "0x5"},
          QStringList {"--render", "a.png", "--size", "1920"}, QStringList {"--render", "a.png", "--size", "-3x4"},
          QStringList {"--render", "a.png", "--size", "100000x100000"},
          QStringList {"--render", "a.png", "--iterations", "0"}, QStringList {"--render", "a.png", "--iterations", "1001"},
          QStringList {"--render", "a.png", "--zoom", "0"}, QStringList {"--render", "a.png", "--zoom", "nan"},
          QStringList {"--render", "a.png", "--center", "1"}, QStringList {"--render", "a.png", "--center", "1,inf"},
          QStringList {"--render", "a.png", "--colour", "red"}, QStringList {"--render", "a.png", "--zoom"}}) {
        const CommandLine line = Parse(args);
        EXPECT_EQ(line.mode, Mode::Error) << args.join(' ').toStdString();
        EXPECT_FALSE(line.error.isEmpty());
    }
}

struct Refusal {
    QStringList args;
    const char* cause;
};

// Each refusal names what is wrong with the value, not the syntax expected.
TEST(CommandLine, RefusalsNameTheCause)
{
    for (const Refusal& c :
         {Refusal {{"--render", "a.png", "--zoom", "1e309"}, "« 1e309 » est hors limites"},
          Refusal {{"--render", "a.png", "--zoom", "-1e400"}, "« -1e400 » est hors limites"},
          Refusal {{"--render", "a.png", "--center", "1e309,0"}, "« 1e309 » est hors limites"},
          Refusal {{"--render", "a.png", "--center", "0,-1e309"}, "« -1e309 » est hors limites"},
          Refusal {{"--render", "a.png", "--center", "1e-400,0"}, "« 1e-400 » est trop proche de zéro"},
          Refusal {{"--render", "a.png", "--zoom", "1e-400"}, "« 1e-400 » est trop proche de zéro"},
          Refusal {{"--render", "a.png", "extra"}, "argument en trop « extra »"},
          Refusal {{"--render", "a.png", "--bogus"}, "option inconnue « --bogus »"},
          Refusal {{"--render", "a.png", "--size=10x10"}, "option inconnue « --size=10x10 »"},
          Refusal {{"--render", "a.png", "--frames"}, "option inconnue « --frames »"},
          Refusal {{"--movie", "m.mkv", "--render", "a.png"}, "--render et --movie ne vont pas ensemble"},
          Refusal {{"--render", "a.png", "extra", "more"}, "argument en trop « extra »"},
          Refusal {{"--render", "a.png", "--help"}, "« --help » ne va pas avec --render"},
          Refusal {{"--render", "a.png", "--version"}, "« --version » ne va pas avec --render"},
          Refusal {{"--render", "a.png", "-p", "doc"}, "« -p » ne va pas avec --render"}}) {
        const CommandLine line = Parse(c.args);
        EXPECT_EQ(line.mode, Mode::Error) << c.args.join(' ').toStdString();
        EXPECT_TRUE(line.error.contains(QString::fromUtf8(c.cause))) << line.error.toStdString();
        EXPECT_FALSE(line.error.contains("attend une valeur")) << line.error.toStdString();
    }
}

TEST(CommandLine, RenderOptionsWithTheStartViewAsDefaults)
{
    const CommandLine plain = Parse({"--render", "out.png"});
    EXPECT_EQ(plain.mode, Mode::Render);
    EXPECT_EQ(plain.width, 800);
    EXPECT_EQ(plain.height, 600);
    EXPECT_EQ(plain.iterations, 50);
    EXPECT_EQ(plain.centerX, -0.5);
    EXPECT_EQ(plain.centerY, 0.0);
    EXPECT_EQ(plain.zoom, 1.0);
    const CommandLine full = Parse({"--render", "f.jpg", "--size", "1920x1080", "--iterations", "1000", "--center",
                                    "-0.745,0.113", "--zoom", "200"});
    EXPECT_EQ(full.output, "f.jpg");
    EXPECT_EQ(full.width, 1920);
    EXPECT_EQ(full.height, 1080);
    EXPECT_EQ(full.iterations, 1000);
    EXPECT_EQ(full.centerX, -0.745);
    EXPECT_EQ(full.centerY, 0.113);
    EXPECT_EQ(full.zoom, 200.0);
}

TEST(CommandLine, DeepKeepsTheCentreAndTheZoomAsWritten)
{
    const char* const sixty = "-0.743643887037158704752191506114774140235981836209412718978";
    const CommandLine line = Parse({"--render", "d.png", "--iterations", "10000000", "--deep", "--center",
                                    QString(sixty) + ",0.131825904205311970493132056385139", "--zoom", "1e1000"});
    ASSERT_EQ(line.mode, Mode::Render) << line.error.toStdString();
    EXPECT_TRUE(line.deep);
    EXPECT_EQ(line.iterations, 10'000'000);
    EXPECT_EQ(line.deepCentreX, sixty);
    EXPECT_EQ(line.deepCentreY, "0.131825904205311970493132056385139");
    EXPECT_EQ(line.deepZoom, "1e1000");
    const CommandLine defaults = Parse({"--deep", "--render", "d.png"});
    ASSERT_EQ(defaults.mode, Mode::Render);
    EXPECT_TRUE(defaults.deep);
    EXPECT_EQ(defaults.deepCentreX, "-0.5");
    EXPECT_EQ(defaults.deepZoom, "1");
    // A value that reads "--deep" is a file name, not the flag.
    const CommandLine named = Parse({"--render", "--deep"});
    ASSERT_EQ(named.mode, Mode::Render);
    EXPECT_FALSE(named.deep);
    EXPECT_EQ(named.output, "--deep");
}

TEST(CommandLine, DeepRefusalsNameTheirCause)
{
    struct Case {
        QStringList args;
        const char* cause;
    };
    const Case cases[] = {
        {{"--center", "abc,0"}, "deux nombres décimaux"},
        {{"--center", "0.5"}, "deux nombres décimaux"},
        {{"--center", "0x1p2,0"}, "deux nombres décimaux"},
        {{"--center", "1e999999,0"}, "hors de portée"},
        {{"--zoom", "0"}, "ne peut pas être nul"},
        {{"--zoom", "0.000"}, "ne peut pas être nul"},
        {{"--zoom", "-1e50"}, "ne peut pas être négatif"},
        {{"--zoom", "1e100001"}, "le zoom va de 1e-100000 à 1e100000"},
        {{"--zoom", "inf"}, "nombre décimal positif"},
        {{"--iterations", "0"}, "de 1 à 10000000"},
        {{"--iterations", "10000001"}, "de 1 à 10000000"},
    };
    for (const Case& c : cases) {
        const CommandLine line = Parse(QStringList {"--render", "d.png", "--deep"} + c.args);
        EXPECT_EQ(line.mode, Mode::Error) << c.args.join(' ').toStdString();
        EXPECT_TRUE(line.error.contains(QString::fromUtf8(c.cause))) << line.error.toStdString();
    }
    // Without --deep the window's limits stay.
    EXPECT_EQ(Parse({"--render", "d.png", "--iterations", "5000"}).mode, Mode::Error);
    EXPECT_EQ(Parse({"--render", "d.png", "--zoom", "1e400"}).mode, Mode::Error);
}

QImage ViewPicture(int width, int height, int iterations, double cx, double cy, double zoom)
{
    CNivoView view;
    view.ShowWithClientSize(width, height);
    view.m_iterations = iterations;
    view.m_centerX = cx;
    view.m_centerY = cy;
    view.m_zoom = zoom;
    view.Render();
    return view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// The process runs with no display to reach, as on a server.
void WithoutDisplay(QProcess& process)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    process.setProcessEnvironment(env);
}

int RunNivo(const QStringList& args, QString* errors = nullptr, const QProcessEnvironment& extra = {},
            const QString& folder = {})
{
    QProcess nivo;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    env.insert(extra);
    nivo.setProcessEnvironment(env);
    if (!folder.isEmpty())
        nivo.setWorkingDirectory(folder);
    nivo.start(NIVO_BINARY, args);
    nivo.waitForFinished(120000);
    if (errors)
        *errors = QString::fromUtf8(nivo.readAllStandardError());
    return nivo.exitStatus() == QProcess::NormalExit ? nivo.exitCode() : -1;
}

TEST(RenderCommand, WritesWhatAViewOfThatSizeShowsWithoutADisplay)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("rendu.png");
    ASSERT_EQ(RunNivo({"--render", file, "--size", "321x123", "--iterations", "200", "--center", "-0.745,0.113",
                       "--zoom", "40"}),
              0);
    const QImage written = QImage(file).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(written.size(), QSize(321, 123));
    EXPECT_EQ(written, ViewPicture(321, 123, 200, -0.745, 0.113, 40));
}

TEST(RenderCommand, ADeepRenderColoursTheDeepCountsWithTheWindowsRule)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("profond.png");
    const char* const x = "-0.74364388703715887077806454349364257504760996232125506021388744740332244";
    const char* const y = "0.13182590420531229282109735487476726526298859967904297493747635123907031";
    ASSERT_EQ(RunNivo({"--render", file, "--deep", "--size", "96x54", "--iterations", "6000", "--center",
                       QString(x) + "," + y, "--zoom", "2e14"}),
              0);
    const QImage written = QImage(file).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(written.size(), QSize(96, 54));
    DeepView view;
    view.centreX = x;
    view.centreY = y;
    view.zoom = "2e14";
    view.limit = 6000;
    view.width = 96;
    view.height = 54;
    std::vector<std::int32_t> counts;
    DeepCalculator calculator;
    ASSERT_TRUE(calculator.Compute(view, counts));
    int differing = 0;
    for (int c = 0; c < 96; ++c) {
        for (int r = 0; r < 54; ++r) {
            const COLORREF colour = PixelColour(counts[c * 54 + r], 6000);
            differing += written.pixel(c, r) != qRgb(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
        }
    }
    EXPECT_EQ(differing, 0);
}

TEST(RenderCommand, DeepAndTheWindowAgreeWhereTheDoublesSuffice)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("peu.png");
    ASSERT_EQ(RunNivo({"--render", file, "--deep", "--size", "160x90", "--iterations", "300", "--center",
                       "-0.745,0.113", "--zoom", "40"}),
              0);
    const QImage deep = QImage(file).convertToFormat(QImage::Format_RGB32);
    const QImage window = ViewPicture(160, 90, 300, -0.745, 0.113, 40);
    ASSERT_EQ(deep.size(), window.size());
    int equal = 0;
    for (int c = 0; c < 160; ++c)
        for (int r = 0; r < 90; ++r)
            equal += deep.pixel(c, r) == window.pixel(c, r);
    // The window accumulates its steps by addition; a few boundary pixels move.
    EXPECT_GE(equal, 160 * 90 * 99 / 100);
}

TEST(RenderCommand, SaysWhenOnlyDeepShowsTheRealPicture)
{
    QTemporaryDir dir;
    QString errors;
    EXPECT_EQ(RunNivo({"--render", dir.filePath("a.png"), "--size", "64x36", "--center", "-0.743643887037151,0.13182590420533",
                       "--zoom", "1e14"},
                      &errors),
              0);
    EXPECT_TRUE(errors.contains("--deep donne la vraie image")) << errors.toStdString();
    EXPECT_TRUE(QFile::exists(dir.filePath("a.png")));
    EXPECT_EQ(RunNivo({"--render", dir.filePath("b.png"), "--size", "64x36", "--center", "-0.743643887037151,0.13182590420533",
                       "--zoom", "1e9"},
                      &errors),
              0);
    EXPECT_FALSE(errors.contains("--deep")) << errors.toStdString();
}

// The deepest frame of the range written decides, whichever way the movie zooms.
TEST(MovieCommand, SaysWhenOnlyDeepShowsTheRealFrames)
{
    QTemporaryDir dir;
    const struct {
        const char* zoom;
        const char* range;
        bool warned;
    } cases[] = {{"1e9:1e14", "0-2", true}, {"1e14:1e9", "0-0", true}, {"1e9:1e14", "0-0", false}};
    for (const auto& c : cases) {
        QString errors;
        EXPECT_EQ(RunNivo({"--movie", dir.filePath("m.mkv"), "--codec", "ffv1", "--size", "64x36", "--center",
                           "-0.743643887037151,0.13182590420533", "--zoom", c.zoom, "--frames", "3", "--range", c.range},
                          &errors),
                  0);
        EXPECT_EQ(errors.contains("--deep donne les vraies images"), c.warned) << c.zoom << " " << c.range;
    }
}

// Qt writes BMP and PNG itself: their renders load no image plugin, while a
// format a plugin writes still finds it.
TEST(RenderCommand, APictureQtWritesItselfLoadsNoImagePluginAndBmpOrPngNoGuiLibrary)
{
    QTemporaryDir dir;
    QProcessEnvironment loader;
    loader.insert("LD_DEBUG", "files");
    for (const char* name : {"vue.bmp", "vue.png", "vue.jpg"}) {
        QString said;
        ASSERT_EQ(RunNivo({"--render", dir.filePath(name), "--size", "64x36"}, &said, loader), 0) << name;
        ASSERT_TRUE(said.contains("libQt6Core")) << "the dynamic loader said nothing";
        // BMP and PNG files need neither Qt's Gui library nor a plugin.
        const bool picture = QByteArray(name).endsWith(".jpg");
        EXPECT_EQ(said.contains("libQt6Gui"), picture) << name;
        EXPECT_EQ(said.contains("/imageformats/"), picture) << name;
        EXPECT_EQ(QImage(dir.filePath(name)).size(), QSize(64, 36)) << name;
    }
}

TEST(RenderCommand, FailsClearlyWithANonZeroStatus)
{
    QTemporaryDir dir;
    QString errors;
    EXPECT_EQ(RunNivo({"--render", dir.filePath("absent/x.png")}, &errors), 1);
    EXPECT_TRUE(errors.contains("le dossier n'existe pas")) << errors.toStdString();
    EXPECT_EQ(RunNivo({"--render", dir.filePath("x.unknown")}, &errors), 1);
    EXPECT_TRUE(errors.contains("extension inconnue")) << errors.toStdString();
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.png"));
    EXPECT_EQ(RunNivo({"--render", dir.filePath("folder.png")}, &errors), 1);
    EXPECT_TRUE(errors.contains("n'est pas un fichier ordinaire")) << errors.toStdString();
    ASSERT_EQ(mkfifo(QFile::encodeName(dir.filePath("pipe.png")).constData(), 0600), 0);
    EXPECT_EQ(RunNivo({"--render", dir.filePath("pipe.png")}, &errors), 1);
    EXPECT_TRUE(errors.contains("n'est pas un fichier ordinaire")) << errors.toStdString();
    EXPECT_EQ(RunNivo({"--render", dir.filePath("wide.jpg"), "--size", "70000x1"}, &errors), 1);
    EXPECT_TRUE(errors.contains("trop grande pour ce format")) << errors.toStdString();
    EXPECT_EQ(RunNivo({"--render", dir.filePath("x.png"), "--size", "big"}, &errors), 2);
    EXPECT_TRUE(errors.contains("--size")) << errors.toStdString();
    EXPECT_TRUE(errors.contains("200000000")) << errors.toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot),
              (QStringList {"folder.png", "pipe.png"}));
}

// Runs nivo through the shell, so that a name can hold any bytes.
int RunNivoInShell(const QString& script, const QStringList& args, QString* errors)
{
    QProcess shell;
    WithoutDisplay(shell);
    shell.start("/bin/sh", QStringList {"-c", script, NIVO_BINARY} + args);
    shell.waitForFinished(120000);
    *errors = QString::fromUtf8(shell.readAllStandardError());
    return shell.exitStatus() == QProcess::NormalExit ? shell.exitCode() : -1;
}

QByteArray Contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QStringList Entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

// A name that is a loop of links, or a link another user planted in a
// shared sticky folder (such as /tmp) to a file of the user's: refused and
// named, and the file the link names untouched.
TEST(RenderCommand, ALinkLoopOrAPlantedLinkIsRefusedAndNamed)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QFile::link("loop.png", dir.filePath("loop.png")));
    QString errors;
    EXPECT_EQ(RunNivo({"--render", dir.filePath("loop.png"), "--size", "10x10"}, &errors), 1);
    EXPECT_TRUE(errors.contains("boucle de liens symboliques")) << errors.toStdString();
    if (getuid() != 0)
        GTEST_SKIP() << "needs root, to plant a link as another user";
    ASSERT_TRUE(QDir(dir.path()).mkdir("shared"));
    ASSERT_EQ(chmod(QFile::encodeName(dir.filePath("shared")).constData(), 01777), 0);
    WriteFile(dir.filePath("notes.txt"), "mine");
    ASSERT_TRUE(QFile::link(dir.filePath("notes.txt"), dir.filePath("shared/out.png")));
    ASSERT_EQ(lchown(QFile::encodeName(dir.filePath("shared/out.png")).constData(), 65534, 65534), 0);
    EXPECT_EQ(RunNivo({"--render", dir.filePath("shared/out.png"), "--size", "10x10"}, &errors), 1);
    EXPECT_TRUE(errors.contains(QString::fromUtf8("lien symbolique d'un autre utilisateur"))) << errors.toStdString();
    EXPECT_EQ(Contents(dir.filePath("notes.txt")), "mine");
    EXPECT_EQ(Entries(dir.filePath("shared")), QStringList {"out.png"});
}

// Names in messages cannot move the cursor or send escapes to the terminal.
TEST(PrintableName, ShowsControlCharactersAndBytesThatAreNotUtf8AsHex)
{
    const std::pair<const char*, const char*> cases[] = {
        {"été 雪.png", "été 雪.png"},
        {"a\nb\tc.png", "a\\x0ab\\x09c.png"},
        {"\x1b]0;pwned\x07\x1b[31m.png", "\\x1b]0;pwned\\x07\\x1b[31m.png"},
        {"del\x7f.png", "del\\x7f.png"},
        {"csi\xc2\x9b" "31m.png", "csi\\xc2\\x9b31m.png"},
        {"nbsp\xc2\xa0.png", "nbsp\xc2\xa0.png"},
        {"v\xff\n.png", "v\\xff\\x0a.png"},
    };
    for (const auto& [name, shown] : cases)
        EXPECT_EQ(PrintableName(name), QByteArray(shown)) << shown;
}

TEST(RenderCommand, ANameThatIsNotUtf8IsRefusedAndNoOtherFileIsWritten)
{
    QTemporaryDir dir;
    // What the name becomes once decoded with a replacement character.
    const QString lookalike = dir.filePath(QString::fromUtf8("v\uFFFD.png"));
    WriteFile(lookalike, "unrelated");
    QString errors;
    EXPECT_EQ(RunNivoInShell("exec \"$0\" --render \"$1/v$(printf '\\377').png\" --size 16x16", {dir.path()}, &errors), 1);
    EXPECT_TRUE(errors.contains("n'est pas valide dans l'encodage")) << errors.toStdString();
    EXPECT_TRUE(errors.contains("v\\xff.png")) << errors.toStdString();
    EXPECT_EQ(Contents(lookalike), "unrelated");
    EXPECT_EQ(Entries(dir.path()), QStringList {QString::fromUtf8("v\uFFFD.png")});
    // A name that is valid UTF-8 is written under exactly its bytes.
    EXPECT_EQ(RunNivoInShell("exec \"$0\" --render \"$1/été.png\" --size 16x16", {dir.path()}, &errors), 0);
    EXPECT_TRUE(QFileInfo::exists(dir.filePath(QString::fromUtf8("été.png"))));
}

// The old file must survive a disk that fills during the save, and the
// message must say so.
TEST(RenderCommand, ADiskThatFillsDuringTheSaveKeepsTheOldFileAndSaysWhy)
{
    QTemporaryDir dir;
    SmallDisk disk(dir.path().toStdString());
    if (!disk.Mounted())
        GTEST_SKIP() << SmallDisk::kNotPermitted;
    const QByteArray old(20000, 'o');
    WriteFile(dir.filePath("old.bmp"), old);
    // The 200 x 200 BMP takes 120 000 bytes: a part of it fits.
    ASSERT_TRUE(disk.Fill("filler", 16 * 1024));
    QString errors;
    EXPECT_EQ(RunNivo({"--render", dir.filePath("old.bmp"), "--size", "200x200"}, &errors), 1);
    EXPECT_TRUE(errors.contains("disque plein")) << errors.toStdString();
    EXPECT_EQ(Contents(dir.filePath("old.bmp")), old);
    EXPECT_EQ(Entries(dir.path()), (QStringList {"filler", "old.bmp"}));
    ASSERT_TRUE(disk.MakeReadOnly());
    EXPECT_EQ(RunNivo({"--render", dir.filePath("old.bmp"), "--size", "20x20"}, &errors), 1);
    EXPECT_TRUE(errors.contains("lecture seule")) << errors.toStdString();
    EXPECT_EQ(Contents(dir.filePath("old.bmp")), old);
}

// A disk that reports itself full only when the data is forced out to it
// (as network file systems do): the failed sync must be seen too.
TEST(RenderCommand, AFailedSyncKeepsTheOldFile)
{
    if (QStandardPaths::findExecutable("strace").isEmpty())
        GTEST_SKIP() << "strace is not installed";
    QTemporaryDir dir;
    const QByteArray old(20000, 'o');
    WriteFile(dir.filePath("old.png"), old);
    QProcess strace;
    // The leak checker cannot work under a tracer; the rest of the sanitizers can.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":detect_leaks=0");
    strace.setProcessEnvironment(env);
    strace.start("strace", {"-f", "-o", "/dev/null", "-e", "trace=fsync", "-e", "inject=fsync:error=ENOSPC", NIVO_BINARY,
                            "--render", dir.filePath("old.png"), "--size", "64x48"});
    ASSERT_TRUE(strace.waitForFinished(120000));
    const QString errors = QString::fromUtf8(strace.readAllStandardError());
    EXPECT_EQ(strace.exitCode(), 1) << errors.toStdString();
    EXPECT_TRUE(errors.contains("disque plein")) << errors.toStdString();
    EXPECT_EQ(Contents(dir.filePath("old.png")), old);
    EXPECT_EQ(Entries(dir.path()), QStringList {"old.png"});
}

TEST(RenderCommand, APictureThatCannotHaveItsMemorySaysSo)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer reserves more address space than any limit leaves";
#endif
    struct Case {
        QStringList args;
        rlim_t addressSpace;
        const char* told;
    };
    const Case cases[] = {
        // Enough to start, not for 1.4 GB of picture made whole before its JPEG is written.
        {{"--size", "20000x10000"}, 1ul << 30, "mémoire insuffisante pour une image de 20000x10000\n"},
        // A needle point's orbit never escapes: its reference keeps every step of the limit.
        {{"--deep", "--center", "-2,0", "--zoom", "1e10", "--size", "8x8", "--iterations", "10000000"},
         400ul << 20,
         "mémoire insuffisante pour une image de 8x8 à 10000000 itérations\n"},
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        QProcess nivo;
        WithoutDisplay(nivo);
        const rlim_t addressSpace = c.addressSpace;
        nivo.setChildProcessModifier([addressSpace] {
            const rlimit limit {addressSpace, addressSpace};
            setrlimit(RLIMIT_AS, &limit);
        });
        nivo.start(NIVO_BINARY, QStringList {"--render", dir.filePath("big.jpg")} + c.args);
        ASSERT_TRUE(nivo.waitForFinished(120000));
        const QString errors = QString::fromUtf8(nivo.readAllStandardError());
        EXPECT_EQ(nivo.exitStatus(), QProcess::NormalExit) << errors.toStdString();
        EXPECT_EQ(nivo.exitCode(), 1) << errors.toStdString();
        EXPECT_TRUE(errors.endsWith(QString::fromUtf8(c.told))) << errors.toStdString();
        EXPECT_TRUE(Entries(dir.path()).isEmpty());
    }
}

// Runs nivo with `limit` applied to the child; its exit code, -1 for a
// signal, -2 when it did not end within a minute.
int RunLimited(const QStringList& args, const std::function<void()>& limit, QString* errors)
{
    QProcess nivo;
    WithoutDisplay(nivo);
    nivo.setChildProcessModifier(limit);
    nivo.start(NIVO_BINARY, args);
    if (!nivo.waitForFinished(60000)) {
        nivo.kill();
        nivo.waitForFinished();
        return -2;
    }
    *errors = QString::fromUtf8(nivo.readAllStandardError());
    return nivo.exitStatus() == QProcess::NormalExit ? nivo.exitCode() : -1;
}

QSize SizeOfPicture(const QString& file) { return QImageReader(file).size(); }

// BMP and PNG files are written as their rows are computed: a picture
// larger than the whole address space allowed is written.
TEST(RenderCommand, ABmpOrPngNeedsNoRoomForItsWholePicture)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer reserves more address space than any limit leaves";
#endif
    QTemporaryDir dir;
    for (const char* name : {"big.bmp", "big.png"}) {
        QString errors;
        const int status = RunLimited({"--render", dir.filePath(name), "--size", "5000x5000", "--iterations", "50"},
                                      [] {
                                          const rlimit space {100ul << 20, 100ul << 20};
                                          setrlimit(RLIMIT_AS, &space);
                                      },
                                      &errors);
        EXPECT_EQ(status, 0) << name << ": " << errors.toStdString();
        EXPECT_EQ(SizeOfPicture(dir.filePath(name)), QSize(5000, 5000)) << name;
    }
}

// Address space from too little for the picture to enough: at every limit
// the old file is replaced by the whole picture or kept byte for byte with a
// French message; never an empty picture, never a wait for ever.
TEST(RenderCommand, UnderAnAddressSpaceLimitAPictureIsWrittenWholeOrNotAtAll)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer reserves more address space than any limit leaves";
#endif
    QTemporaryDir dir;
    const QByteArray old(30000, 'o');
    int written = 0;
    for (const char* name : {"old.bmp", "old.png", "old.tif", "old.jpg", "old.ppm"}) {
        for (const rlim_t mebibytes : {300, 340, 380, 420, 440, 520, 900}) {
            const QString file = dir.filePath(name);
            WriteFile(file, old);
            const auto limit = [mebibytes] {
                const rlimit space {mebibytes << 20, mebibytes << 20};
                setrlimit(RLIMIT_AS, &space);
            };
            QString errors;
            const int status = RunLimited({"--render", file, "--size", "5000x5000"}, limit, &errors);
            const std::string at = std::string(name) + " at " + std::to_string(mebibytes) + " MiB: " + errors.toStdString();
            if (status == 0) {
                EXPECT_EQ(SizeOfPicture(file), QSize(5000, 5000)) << at;
                ++written;
            } else {
                EXPECT_EQ(status, 1) << at;
                EXPECT_TRUE(errors.contains(QString::fromUtf8("mémoire insuffisante"))) << at;
                EXPECT_EQ(Contents(file), old) << at;
            }
            EXPECT_FALSE(errors.contains("QImage")) << at;
            EXPECT_EQ(Entries(dir.path()), QStringList {name}) << at;
            QFile::remove(file);
        }
    }
    // The largest limit leaves room for every format.
    EXPECT_GE(written, 5);
}

// As an ordinary user who may run one, two or three threads: Qt's writers
// share a large conversion among threads, and nivo's own idle workers could
// take the places they need.
TEST(RenderCommand, WithFewOrNoThreadsAllowedARenderEndsAndSaysWhy)
{
    if (getuid() != 0)
        GTEST_SKIP() << "needs root, to limit another user's threads";
    QTemporaryDir dir;
    ASSERT_EQ(chmod(QFile::encodeName(dir.path()).constData(), 0777), 0);
    for (const rlim_t tasks : {1, 2, 3}) {
        for (const char* name : {"x.bmp", "x.ppm", "x.jpg", "x.png", "x.tif"}) {
            // A user of its own, whose count no other test's process adds to.
            const auto limit = [tasks] {
                const uid_t alone = 60000 + getpid() % 5000;
                const rlimit allowed {tasks, tasks};
                if (setgid(alone) != 0 || setrlimit(RLIMIT_NPROC, &allowed) != 0 || setuid(alone) != 0)
                    _exit(90);
            };
            const QString file = dir.filePath(name);
            QString errors;
            const int status = RunLimited({"--render", file, "--size", "2000x2000"}, limit, &errors);
            const std::string at = std::string(name) + " with " + std::to_string(tasks) + ": " + errors.toStdString();
            // Only TIFF's writer cannot do without a thread of its own.
            if (tasks == 1 && QByteArray(name).endsWith(".tif")) {
                EXPECT_EQ(status, 1) << at;
                EXPECT_TRUE(errors.contains(QString::fromUtf8("aucun fil d'exécution ne peut démarrer"))) << at;
                EXPECT_FALSE(QFile::exists(file)) << at;
            } else {
                EXPECT_EQ(status, 0) << at;
                EXPECT_EQ(SizeOfPicture(file), QSize(2000, 2000)) << at;
            }
            QFile::remove(file);
        }
    }
}

struct ResourceLimit {
    int resource;
    rlim_t value;
    const char* said;
};

// Closes what the test runner left open for the program to inherit: only
// the standard three then stay open across exec.
void CloseInheritedDescriptors()
{
    std::vector<int> inherited;
    if (DIR* fds = opendir("/proc/self/fd")) {
        while (const dirent* entry = readdir(fds)) {
            const int fd = std::atoi(entry->d_name);
            const int flags = fcntl(fd, F_GETFD);
            if (fd > 2 && fd != dirfd(fds) && flags >= 0 && !(flags & FD_CLOEXEC))
                inherited.push_back(fd);
        }
        closedir(fds);
    }
    for (const int fd : inherited)
        close(fd);
}

// Limits that Qt or the kernel would otherwise meet with an abort or a
// signal: a French message naming the limit, and the old file kept.
TEST(RenderCommand, ResourceLimitsAreNamedInFrench)
{
    QTemporaryDir dir;
    const QByteArray old(20000, 'o');
    // One free descriptor lets the dynamic loader start the program, not Qt load its plugins.
    for (const ResourceLimit& c : {ResourceLimit {RLIMIT_NOFILE, 1, "trop de fichiers ouverts"},
                                   ResourceLimit {RLIMIT_NOFILE, 2, "trop de fichiers ouverts"},
                                   ResourceLimit {RLIMIT_FSIZE, 10000, "ulimit -f"}}) {
        WriteFile(dir.filePath("old.bmp"), old);
        const auto limit = [c] {
            if (c.resource == RLIMIT_NOFILE)
                CloseInheritedDescriptors();
            const rlim_t allowed = c.resource == RLIMIT_NOFILE ? 3 + c.value : c.value;
            const rlimit value {allowed, allowed};
            setrlimit(c.resource, &value);
        };
        QString errors;
        EXPECT_EQ(RunLimited({"--render", dir.filePath("old.bmp"), "--size", "200x200"}, limit, &errors), 1)
            << c.said << ": " << errors.toStdString();
        EXPECT_TRUE(errors.contains(QString::fromUtf8(c.said))) << errors.toStdString();
        EXPECT_EQ(Contents(dir.filePath("old.bmp")), old) << c.said;
        EXPECT_EQ(Entries(dir.path()), QStringList {"old.bmp"}) << c.said;
    }
}

// Started with a standard descriptor closed, a render (that warns on
// standard error) writes the same picture, and nothing but the picture.
TEST(RenderCommand, AClosedStandardDescriptorChangesNothing)
{
    QTemporaryDir dir;
    const QStringList view = {"--size", "30x20", "--zoom", "1e16"};
    QString errors;
    ASSERT_EQ(RunLimited(QStringList {"--render", dir.filePath("open.bmp")} + view, [] {}, &errors), 0);
    const QByteArray expected = Contents(dir.filePath("open.bmp"));
    for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        const QString file = dir.filePath(QString("closed%1.bmp").arg(fd));
        EXPECT_EQ(RunLimited(QStringList {"--render", file} + view, [fd] { close(fd); }, &errors), 0) << fd;
        EXPECT_EQ(Contents(file), expected) << fd;
    }
}

// Help or version lost on a full disk is a failure, said on standard error.
TEST(CommandLine, ATextThatCannotBeWrittenEndsWithStatus1)
{
    for (const char* option : {"--help", "--version"}) {
        QProcess nivo;
        nivo.setStandardOutputFile("/dev/full");
        nivo.start(NIVO_BINARY, {option});
        ASSERT_TRUE(nivo.waitForFinished(60000));
        EXPECT_EQ(nivo.exitCode(), 1) << option;
        EXPECT_TRUE(QString::fromUtf8(nivo.readAllStandardError()).contains("erreur d'écriture")) << option;
    }
}

// The window with no display to go to: a word in French and status 1, not Qt's abort.
TEST(WindowCommand, WithoutADisplayTheWindowSaysSoAndEnds)
{
    for (const QString& display : {QString(), QString(":987")}) {
        QProcess nivo;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(name);
        if (!display.isEmpty())
            env.insert("DISPLAY", display);
        nivo.setProcessEnvironment(env);
        nivo.start(NIVO_BINARY, {});
        ASSERT_TRUE(nivo.waitForFinished(60000));
        EXPECT_EQ(nivo.exitStatus(), QProcess::NormalExit) << display.toStdString();
        EXPECT_EQ(nivo.exitCode(), 1) << display.toStdString();
        EXPECT_TRUE(QString::fromUtf8(nivo.readAllStandardError()).contains("aucun affichage")) << display.toStdString();
    }
}

// Nothing but the picture: no note from Qt on a successful render, even
// where it would complain of the environment.
TEST(RenderCommand, ASuccessfulRenderSaysNothing)
{
    QTemporaryDir dir;
    QProcess nivo;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("XDG_RUNTIME_DIR");
    nivo.setProcessEnvironment(env);
    nivo.start(NIVO_BINARY, {"--render", dir.filePath("x.png"), "--size", "30x20"});
    ASSERT_TRUE(nivo.waitForFinished(60000));
    EXPECT_EQ(nivo.exitCode(), 0);
    EXPECT_EQ(QString::fromUtf8(nivo.readAllStandardError()), "");
    EXPECT_EQ(SizeOfPicture(dir.filePath("x.png")), QSize(30, 20));
}

// Killed between the naming of the new file and its rename (the signal
// arrives as the name is given): no hidden file is left beside the picture.
TEST(RenderCommand, AStopSignalDuringTheRenameLeavesNothingBeside)
{
    if (QStandardPaths::findExecutable("strace").isEmpty())
        GTEST_SKIP() << "strace is not installed";
    QTemporaryDir dir;
    const QByteArray old(20000, 'o');
    for (const char* signal : {"SIGINT", "SIGTERM"}) {
        WriteFile(dir.filePath("out.png"), old);
        QProcess strace;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":detect_leaks=0");
        strace.setProcessEnvironment(env);
        strace.start("strace", {"-f", "-o", "/dev/null", "-e", "trace=linkat", "-e",
                                QString("inject=linkat:signal=%1").arg(signal), NIVO_BINARY, "--render",
                                dir.filePath("out.png"), "--size", "64x48"});
        ASSERT_TRUE(strace.waitForFinished(120000));
        EXPECT_EQ(Entries(dir.path()), QStringList {"out.png"}) << signal;
        const QByteArray now = Contents(dir.filePath("out.png"));
        EXPECT_TRUE(now == old || SizeOfPicture(dir.filePath("out.png")) == QSize(64, 48)) << signal;
    }
}

// A home of its own and a print server that is not there: the socket it
// names does not exist, so no printer of this machine can be reached.
QProcessEnvironment WithoutPrinters(const QTemporaryDir& dir)
{
    QProcessEnvironment env;
    env.insert("HOME", dir.filePath("home"));
    env.insert("XDG_CONFIG_HOME", dir.filePath("home/.config"));
    env.insert("CUPS_SERVER", dir.filePath("no-print-server.sock"));
    return env;
}

TEST(PrintCommand, WithoutAPrinterNothingIsPrintedAndTheStatusSaysSo)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("home"));
    const QString document = dir.filePath("doc.nivo");
    WriteFile(document, "");
    const QProcessEnvironment env = WithoutPrinters(dir);
    QString errors;
    EXPECT_EQ(RunNivo({"-p", document}, &errors, env, dir.path()), 1);
    EXPECT_TRUE(errors.contains(QString::fromUtf8("rien n'a été imprimé : aucune imprimante n'est disponible"))) << errors.toStdString();
    EXPECT_EQ(RunNivo({"-pt", document, "NivoPDF"}, &errors, env, dir.path()), 1);
    EXPECT_TRUE(errors.contains(QString::fromUtf8("aucune imprimante ne s'appelle « NivoPDF »"))) << errors.toStdString();
    // The document is checked first, and its failure goes to the terminal, not to a message box.
    EXPECT_EQ(RunNivo({"-p", dir.filePath("absent.nivo")}, &errors, env, dir.path()), 1);
    EXPECT_TRUE(errors.contains("introuvable")) << errors.toStdString();
    // Nor was the page written anywhere else instead.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              (QStringList {"doc.nivo", "home"}));
    QDirIterator written(dir.filePath("home"), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (written.hasNext()) {
        const QString file = written.next();
        EXPECT_FALSE(file.endsWith(".pdf") || file.endsWith(".ps")) << file.toStdString();
    }
}

// Two instances started at the same moment, 50 times, each opening its own
// document: both documents are in the recent list every time.
TEST(PrintCommand, TwoInstancesAtOnceEachKeepTheirRecentEntry)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("home"));
    WriteFile(dir.filePath("a.nivo"), "");
    WriteFile(dir.filePath("b.nivo"), "");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.insert(WithoutPrinters(dir));
    const QString settings = dir.filePath("home/.config/Local AppWizard-Generated Applications/nivo.ini");
    int lost = 0;
    for (int round = 0; round < 50; ++round) {
        QFile::remove(settings);
        QProcess first;
        QProcess second;
        for (QProcess* nivo : {&first, &second})
            nivo->setProcessEnvironment(env);
        first.start(NIVO_BINARY, {"-p", dir.filePath("a.nivo")});
        second.start(NIVO_BINARY, {"-p", dir.filePath("b.nivo")});
        ASSERT_TRUE(first.waitForFinished(60000) && second.waitForFinished(60000));
        const QList<QByteArray> entries = RecentEntriesIn(Contents(settings));
        lost += !entries.contains(QFile::encodeName(dir.filePath("a.nivo"))) +
                !entries.contains(QFile::encodeName(dir.filePath("b.nivo")));
    }
    EXPECT_EQ(lost, 0);
}

// The document is named by the argument's bytes, not by their decoding.
TEST(PrintCommand, ADocumentNameThatIsNotUtf8IsFound)
{
    QTemporaryDir dir;
    const QByteArray name = QFile::encodeName(dir.path()) + "/d\xff.nivo";
    const int fd = open(name.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    close(fd);
    QString errors;
    EXPECT_EQ(RunNivoInShell("HOME=\"$1\" XDG_CONFIG_HOME=\"$1/c\" CUPS_SERVER=\"$1/none.sock\" "
                             "exec \"$0\" -p \"$1/d$(printf '\\377').nivo\"",
                             {dir.path()}, &errors),
              1);
    EXPECT_FALSE(errors.contains("introuvable")) << errors.toStdString();
    EXPECT_TRUE(errors.contains("aucune imprimante")) << errors.toStdString();
    unlink(name.constData());
}

TEST(RenderCommand, HelpAndVersion)
{
    QProcess nivo;
    nivo.start(NIVO_BINARY, {"--version"});
    nivo.waitForFinished();
    EXPECT_EQ(nivo.exitCode(), 0);
    EXPECT_TRUE(nivo.readAllStandardOutput().startsWith("nivo " NIVO_VERSION));
    nivo.start(NIVO_BINARY, {"--help"});
    nivo.waitForFinished();
    EXPECT_EQ(nivo.exitCode(), 0);
    EXPECT_TRUE(nivo.readAllStandardOutput().contains("--render"));
}

// bin/nivo writes BMP and PNG files itself, without Qt's Gui library: byte
// for byte what the window's program, which has it, writes.
TEST(RenderCommand, BothProgramsWriteTheSameFiles)
{
    QTemporaryDir dir;
    for (const char* format : {"bmp", "png"})
        for (const char* size : {"1x1", "333x77"}) {
            QByteArray files[2];
            for (int i = 0; i < 2; ++i) {
                const QString file = dir.filePath(QString("x%1.%2").arg(i).arg(format));
                QProcess nivo;
                nivo.start(i == 0 ? NIVO_BINARY : NIVO_WINDOW_BINARY,
                           {"--render", file, "--size", size, "--center", "-0.745,0.113", "--zoom", "30"});
                ASSERT_TRUE(nivo.waitForFinished(60000));
                ASSERT_EQ(nivo.exitCode(), 0) << format << " " << size;
                files[i] = Contents(file);
            }
            EXPECT_FALSE(files[0].isEmpty()) << format << " " << size;
            EXPECT_EQ(files[0], files[1]) << format << " " << size;
        }
}

// The command line needs nothing but itself; what needs a window, or Qt's
// Gui library to write a picture, says so when the window's program is missing.
TEST(RenderCommand, WithoutTheWindowsProgramOnlyWhatNeedsItIsRefused)
{
    QTemporaryDir dir;
    const QString alone = dir.filePath("nivo");
    ASSERT_TRUE(QFile::copy(NIVO_BINARY, alone));
    struct Case {
        QStringList args;
        int status;
    };
    for (const Case& c : {Case {{"--render", dir.filePath("x.png"), "--size", "8x8"}, 0},
                          Case {{"--render", dir.filePath("x.bmp"), "--size", "8x8"}, 0},
                          Case {{"--render", dir.filePath("x.jpg"), "--size", "8x8"}, 1}, Case {{}, 1}}) {
        QProcess nivo;
        nivo.start(alone, c.args);
        ASSERT_TRUE(nivo.waitForFinished(60000));
        const QString errors = QString::fromUtf8(nivo.readAllStandardError());
        EXPECT_EQ(nivo.exitCode(), c.status) << c.args.join(' ').toStdString() << ": " << errors.toStdString();
        EXPECT_EQ(errors.contains(QString::fromUtf8("le programme de la fenêtre")), c.status != 0) << errors.toStdString();
    }
    EXPECT_EQ(QImageReader(dir.filePath("x.png")).size(), QSize(8, 8));
    EXPECT_FALSE(QFile::exists(dir.filePath("x.jpg")));
}

// Peak resident memory of one `nivo --render` of `size`, in bytes; -1 when it failed.
long PeakOfRender(const QString& folder, const char* size)
{
    const QByteArray output = QFile::encodeName(folder + "/x.bmp");
    const pid_t child = fork();
    if (child == 0) {
        execl(NIVO_BINARY, NIVO_BINARY, "--render", output.constData(), "--size", size, static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage {};
    if (child < 0 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return usage.ru_maxrss * 1024L;
}

// Scratch goes with the pixels: a picture one pixel wide or one pixel high
// costs no more a pixel than the buffer, the bitmap and the file need.
TEST(RenderCommand, TallAndWidePicturesTakeMemoryByThePixel)
{
    QTemporaryDir dir;
    const long base = PeakOfRender(dir.path(), "1x1");
    ASSERT_GT(base, 0);
    constexpr long kPixels = 1'000'000;
    for (const char* size : {"1x1000000", "1000000x1"}) {
        const long peak = PeakOfRender(dir.path(), size);
        ASSERT_GT(peak, 0) << size;
        EXPECT_LT((peak - base) / kPixels, 64) << size << ": " << peak << " bytes at the peak";
    }
}

TEST(CommandLine, SpeaksFrenchWithTheOptionNamesUnchanged)
{
    const QString help = CommandLine::HelpText();
    for (const char* option : {"-p FICHIER", "-pt FICHIER IMPRIMANTE", "--render IMAGE", "--size", "--iterations",
                               "--center X,Y", "--zoom Z", "-h, --help", "--version"})
        EXPECT_TRUE(help.contains(QLatin1String(option))) << option;
    EXPECT_TRUE(help.contains(QString::fromUtf8("imprime une page sur l'imprimante par défaut"))) << help.toStdString();
    const QStringList english = {"needs", "bad ", "expected", "unknown", "only one", "e.g.", "print ", "show ", "default)"};
    for (const QString& word : english)
        EXPECT_FALSE(help.contains(word)) << word.toStdString();
    for (const QStringList& args :
         {QStringList {"-x"}, QStringList {"-p"}, QStringList {"-pt", "f"}, QStringList {"a", "b"}, QStringList {"--render"},
          QStringList {"--render", "a.png", "--size", "0x5"}, QStringList {"--render", "a.png", "--iterations", "0"},
          QStringList {"--render", "a.png", "--zoom", "0"}, QStringList {"--render", "a.png", "--center", "1"},
          QStringList {"--render", "a.png", "--colour", "red"}, QStringList {"--render", "a.png", "--zoom"}}) {
        const QString error = Parse(args).error;
        for (const QString& word : english)
            EXPECT_FALSE(error.contains(word)) << error.toStdString();
    }
    EXPECT_EQ(Parse({"--render", "a.png", "--zoom", "0"}).error,
              QString::fromUtf8("--zoom « 0 » refusé : nombre positif attendu"));
    EXPECT_EQ(Parse({"a", "b"}).error, QString::fromUtf8("un seul fichier peut être ouvert à la fois"));

    QString errors;
    EXPECT_EQ(RunNivo({"-x"}, &errors), 2);
    EXPECT_EQ(errors, QString::fromUtf8("nivo: option inconnue « -x »\n"
                                        "Essayez « nivo --help » pour plus d'informations.\n"));
}

// Renders one small picture in a view whose progress dialogs come from template 131.
void RenderSmallPicture()
{
    CNivoView view;
    view.resize(40, 30);
    view.show();
    QApplication::processEvents();
    view.Render();
}

std::string Captured(const std::function<void(std::FILE*)>& write)
{
    char* text = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&text, &size);
    write(out);
    std::fclose(out);
    std::string result(text, size);
    std::free(text);
    return result;
}

TEST(TerminalProgress, ShowsBothPhasesOnOneLineThenClearsIt)
{
    const std::string shown = Captured([](std::FILE* out) {
        const TerminalProgress progress(out, true, std::chrono::milliseconds(0));
        RenderSmallPicture();
    });
    // Computation from 0 to 50, colouring from 50 on; each position once, each phase's line cleared.
    EXPECT_EQ(shown.rfind("\rRendu :   0 %", 0), 0u) << shown;
    EXPECT_NE(shown.find("\rRendu :  25 %"), std::string::npos) << shown;
    EXPECT_NE(shown.find("\rRendu :  50 %" + std::string("\r") + std::string(14, ' ') + "\r\rRendu :  50 %"),
              std::string::npos)
        << shown;
    EXPECT_NE(shown.find("\rRendu :  75 %"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("\rRendu :  25 %\rRendu :  25 %"), std::string::npos) << shown;
    const std::string blank = "\r" + std::string(14, ' ') + "\r";
    ASSERT_GE(shown.size(), blank.size());
    EXPECT_EQ(shown.substr(shown.size() - blank.size()), blank);
    EXPECT_EQ(CreateDialogFromTemplate(CProgressDlg::IDD, nullptr), nullptr);
}

TEST(TerminalProgress, SilentForAQuickRenderOrAnythingButATerminal)
{
    EXPECT_EQ(Captured([](std::FILE* out) {
                  const TerminalProgress progress(out, true, std::chrono::hours(1));
                  RenderSmallPicture();
              }),
              "");
    EXPECT_EQ(Captured([](std::FILE* out) {
                  const TerminalProgress progress(out, false, std::chrono::milliseconds(0));
                  EXPECT_EQ(CreateDialogFromTemplate(CProgressDlg::IDD, nullptr), nullptr);
                  RenderSmallPicture();
              }),
              "");
    // A memory stream is no terminal.
    EXPECT_EQ(Captured([](std::FILE* out) {
                  const TerminalProgress progress(out, std::chrono::milliseconds(0));
                  RenderSmallPicture();
              }),
              "");
}

// A render whose computation alone passes half a second, here and on faster machines:
// 16 million pixels near the boundary, where no point is cut short as inside the set.
const QStringList kLongRender = {"--size",   "6000x6000", "--iterations", "1000", "--center",
                                 "-0.743643887037151,0.131825904205330", "--zoom", "100000"};

TEST(RenderCommand, ShowsProgressOnATerminalOnly)
{
    QTemporaryDir dir;
    int master = -1;
    int slave = -1;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    fcntl(master, F_SETFL, O_NONBLOCK);
    QProcess nivo;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.insert("XDG_RUNTIME_DIR", dir.path());
    nivo.setProcessEnvironment(env);
    nivo.setChildProcessModifier([slave] { dup2(slave, STDERR_FILENO); });
    nivo.start(NIVO_BINARY, QStringList {"--render", dir.filePath("long.bmp")} + kLongRender);
    QByteArray terminal;
    const auto drain = [&] {
        char buffer[4096];
        for (ssize_t n; (n = read(master, buffer, sizeof buffer)) > 0;)
            terminal.append(buffer, n);
    };
    while (!nivo.waitForFinished(20))
        drain();
    drain();
    close(slave);
    close(master);
    EXPECT_EQ(nivo.exitCode(), 0);
    EXPECT_TRUE(terminal.contains(" %\rRendu : ")) << terminal.toStdString();
    EXPECT_TRUE(terminal.endsWith("\r" + QByteArray(14, ' ') + "\r")) << terminal.toStdString();
    EXPECT_TRUE(QFile::exists(dir.filePath("long.bmp")));

    QString errors;
    QProcessEnvironment runtime;
    runtime.insert("XDG_RUNTIME_DIR", dir.path());
    EXPECT_EQ(RunNivo(QStringList {"--render", dir.filePath("long2.bmp")} + kLongRender, &errors, runtime), 0);
    EXPECT_EQ(errors, "");
}

// Every bad value of a movie is refused before anything is computed, with a
// French message that names what is wrong.
TEST(CommandLine, MovieValuesAreRefusedNamingWhatIsWrong)
{
    const QStringList base = {"--movie", "z.mkv", "--frames", "12"};
    const struct {
        QStringList args;
        const char* said;
    } cases[] = {
        {base + QStringList {"--zoom", "0:1e6"}, "--zoom « 0:1e6 » refusé : le grossissement de départ est nul"},
        {base + QStringList {"--zoom", "1:0"}, "le grossissement d'arrivée est nul"},
        {base + QStringList {"--zoom", "-0:5"}, "le grossissement de départ est nul"},
        {base + QStringList {"--zoom", "-1:5"}, "le grossissement de départ est négatif"},
        {base + QStringList {"--zoom", "1:-5"}, "le grossissement d'arrivée est négatif"},
        {base + QStringList {"--zoom", "100"}, "Z0:Z1 attendu"},
        {base + QStringList {"--zoom", "1:2:3"}, "Z0:Z1 attendu"},
        {base + QStringList {"--zoom", "1:inf"}, "Z0:Z1 attendu"},
        {base + QStringList {"--zoom", "1e-300:1e300"}, "le rapport des deux grossissements"},
        {base + QStringList {"--zoom", "1e300:1e-300"}, "le rapport des deux grossissements"},
        {base + QStringList {"--zoom", "1:1e400"}, "« 1e400 » est hors limites"},
        {base + QStringList {"--zoom", "1e-400:1"}, "« 1e-400 » est trop proche de zéro"},
        {base + QStringList {"--zoom", "1:9", "stray"}, "argument en trop « stray »"},
        {base + QStringList {"--zoom", "1:9", "--version"}, "« --version » ne va pas avec --movie"},
        {base + QStringList {"--deep", "--zoom", "0:1e600"}, "--zoom « 0 » refusé : le zoom ne peut pas être nul"},
        {base + QStringList {"--deep", "--zoom", "1e20:-1"}, "--zoom « -1 » refusé : le zoom ne peut pas être négatif"},
        {base + QStringList {"--deep", "--zoom", "1e600"}, "--zoom « 1e600 » refusé : Z0:Z1 attendu"},
        {base + QStringList {"--deep", "--zoom", "1:1e200000"}, "le zoom va de 1e-100000 à 1e100000"},
        {{"--movie", "z.mkv", "--zoom", "1:9", "--frames", "1"}, "--frames « 1 » refusé : nombre entier d'images de 2 à"},
        {{"--movie", "z.mkv", "--zoom", "1:9", "--frames", "0"}, "--frames « 0 » refusé"},
        {{"--movie", "z.mkv", "--zoom", "1:9", "--frames", "-4"}, "--frames « -4 » refusé"},
        {{"--movie", "z.mkv", "--zoom", "1:9", "--frames", "1000001"}, "--frames « 1000001 » refusé"},
        {{"--movie", "z.mkv", "--zoom", "1:9"}, "--movie attend --frames K"},
        {{"--movie", "z.mkv", "--frames", "9"}, "--movie attend --zoom Z0:Z1"},
        {base + QStringList {"--zoom", "1:9", "--range", "0-12"}, "le film a 12 images, numérotées de 0 à 11"},
        {QStringList {"--range", "11-12"} + base + QStringList {"--zoom", "1:9"}, "numérotées de 0 à 11"},
        {base + QStringList {"--zoom", "1:9", "--range", "7-3"}, "la première image (7) vient après la dernière (3)"},
        {base + QStringList {"--zoom", "1:9", "--range", "-1-3"}, "A-B attendu"},
        {base + QStringList {"--zoom", "1:9", "--range", "3"}, "A-B attendu"},
        {base + QStringList {"--zoom", "1:9", "--fps", "0"}, "--fps « 0 » refusé"},
        {base + QStringList {"--zoom", "1:9", "--fps", "1001"}, "--fps « 1001 » refusé"},
        {base + QStringList {"--zoom", "1:9", "--codec", ""}, "--codec attend un nom de codec"},
        {base + QStringList {"--zoom", "1:9", "--size", "0x5"}, "--size « 0x5 » refusé"},
        {base + QStringList {"--zoom", "1:9", "--colour", "red"}, "option inconnue « --colour »"},
        {base + QStringList {"--zoom"}, "--zoom attend une valeur"},
        {base + QStringList {"--zoom", "1:9", "--bogus"}, "option inconnue « --bogus »"},
        {base + QStringList {"--zoom", "1:9", "--size"}, "--size attend une valeur"},
        // A render keeps its own options.
        {{"--render", "a.png", "--frames", "12"}, "option inconnue « --frames »"},
        {{"--render", "a.png", "--zoom", "1:9"}, "--zoom « 1:9 » refusé : nombre positif attendu"},
    };
    for (const auto& c : cases) {
        const CommandLine line = Parse(c.args);
        EXPECT_EQ(line.mode, Mode::Error) << c.args.join(' ').toStdString();
        EXPECT_TRUE(line.error.contains(QString::fromUtf8(c.said))) << line.error.toStdString();
    }
}

TEST(CommandLine, MovieOptionsWithTheirDefaults)
{
    const CommandLine plain = Parse({"--movie", "z.webm", "--zoom", "1:1e6", "--frames", "300"});
    EXPECT_EQ(plain.mode, Mode::Movie);
    EXPECT_EQ(plain.output, "z.webm");
    EXPECT_EQ(plain.outputArgument, 1);
    EXPECT_EQ(plain.zoom, 1.0);
    EXPECT_EQ(plain.zoomEnd, 1e6);
    EXPECT_EQ(plain.frames, 300);
    EXPECT_EQ(plain.firstFrame, 0);
    EXPECT_EQ(plain.lastFrame, 299);
    EXPECT_EQ(plain.framesPerSecond, 30.0);
    EXPECT_TRUE(plain.codec.isEmpty());
    EXPECT_EQ(plain.width, 800);
    EXPECT_EQ(plain.iterations, 50);
    // A zoom out is a zoom too.
    const CommandLine full = Parse({"--size", "64x48", "--zoom", "2e5:0.5", "--range", "11-11", "--movie", "a.mkv",
                                    "--frames", "12", "--fps", "23.976", "--codec", "ffv1", "--iterations", "1000",
                                    "--center", "-0.745,0.113"});
    EXPECT_EQ(full.mode, Mode::Movie) << full.error.toStdString();
    EXPECT_EQ(full.outputArgument, 7);
    EXPECT_EQ(full.zoom, 2e5);
    EXPECT_EQ(full.zoomEnd, 0.5);
    EXPECT_EQ(full.firstFrame, 11);
    EXPECT_EQ(full.lastFrame, 11);
    EXPECT_EQ(full.framesPerSecond, 23.976);
    EXPECT_EQ(full.codec, "ffv1");
    EXPECT_EQ(full.width, 64);
    EXPECT_EQ(full.centerY, 0.113);
}

// With --deep, the zooms and the centre stay the texts written, beyond any double.
TEST(CommandLine, ADeepMovieKeepsItsZoomsAndCentreAsWritten)
{
    const CommandLine line = Parse({"--movie", "d.mkv", "--deep", "--zoom", "2e592:1e1000", "--frames", "5",
                                    "--center", "-0.74364388703715870475219150611477,0.1318259042053119704931320563",
                                    "--iterations", "100000"});
    ASSERT_EQ(line.mode, Mode::Movie) << line.error.toStdString();
    EXPECT_TRUE(line.deep);
    EXPECT_EQ(line.deepZoom, "2e592");
    EXPECT_EQ(line.deepZoomEnd, "1e1000");
    EXPECT_EQ(line.deepCentreX, "-0.74364388703715870475219150611477");
    EXPECT_EQ(line.iterations, 100000);
}

// The curve in MPFR: its ends as written, its middle the geometric mean to
// some seventy digits, far past the doubles.
TEST(DeepFrameZoom, EndsAsWrittenAndTheMiddleInArbitraryPrecision)
{
    EXPECT_EQ(DeepFrameZoom("2e592", "1e1000", 0, 5), "2e592");
    EXPECT_EQ(DeepFrameZoom("2e592", "1e1000", 4, 5), "1e1000");
    const std::string middle = DeepFrameZoom("1", "1e90000", 1, 3);
    const bool above = middle.rfind("1." + std::string(65, '0'), 0) == 0 && middle.ends_with("e45000");
    const bool below = middle.rfind("9." + std::string(65, '9'), 0) == 0 && middle.ends_with("e44999");
    EXPECT_TRUE(above || below) << middle;
    // A zoom out is the same curve backwards.
    EXPECT_EQ(DeepFrameZoom("1e30", "1e10", 1, 3).substr(0, 20), DeepFrameZoom("1e10", "1e30", 1, 3).substr(0, 20));
}

// The values a frame's zoom is computed from, and the frame's render.
const QStringList kMovie = {"--size", "64x48", "--iterations", "300", "--center", "-0.745,0.113", "--zoom", "0.5:4000",
                            "--frames", "12"};

QString ZoomOfFrame(int k) { return QString::asprintf("%.17g", 0.5 * std::pow(4000 / 0.5, k / (12 - 1.0))); }

bool HasFfmpeg() { return !QStandardPaths::findExecutable("ffmpeg").isEmpty(); }

// Frame k of a movie as ffmpeg decodes it, top-down RGB rows.
QByteArray DecodedFrame(const QString& movie, int k)
{
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", {"-v", "error", "-i", movie, "-vf", QString("select=eq(n\\,%1)").arg(k), "-frames:v", "1",
                            "-f", "rawvideo", "-pix_fmt", "rgb24", "-"});
    ffmpeg.waitForFinished(60000);
    return ffmpeg.readAllStandardOutput();
}

QByteArray RgbRows(const QImage& image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    QByteArray rows;
    for (int y = 0; y < rgb.height(); ++y)
        rows.append(reinterpret_cast<const char*>(rgb.constScanLine(y)), rgb.width() * 3);
    return rows;
}

// Each frame, decoded from a lossless movie, is byte for byte the render of
// its zoom; the first and last are the ends of the zoom, the others between.
// On a pipe a movie writes nothing on standard error, whatever its encoder;
// one the encoder refuses is told in French alone.
TEST(MovieCommand, EncodersSayNothingOnAPipe)
{
    QTemporaryDir dir;
    for (const char* codec : {"libx264", "libx265", "libsvtav1"}) {
        QString errors;
        const int status = RunNivo({"--movie", dir.filePath("q.mkv"), "--codec", codec, "--size", "128x64", "--zoom",
                                    "1:2", "--frames", "3"},
                                   &errors);
        if (status == 2 && errors.contains("n'a pas ce codec"))
            continue;
        EXPECT_EQ(status, 0) << codec;
        EXPECT_EQ(errors, "") << codec;
    }
    QString errors;
    EXPECT_EQ(RunNivo({"--movie", dir.filePath("big.mkv"), "--size", "20000x10000", "--zoom", "1:2", "--frames", "2"},
                      &errors),
              1);
    EXPECT_EQ(errors.count('\n'), 1) << errors.toStdString();
    EXPECT_TRUE(errors.startsWith("nivo: ")) << errors.toStdString();
}

TEST(MovieCommand, EachFrameIsTheRenderOfItsZoom)
{
    if (!HasFfmpeg())
        GTEST_SKIP() << "ffmpeg is not installed";
    QTemporaryDir dir;
    const QString movie = dir.filePath("zoom.mkv");
    QString errors;
    ASSERT_EQ(RunNivo(QStringList {"--movie", movie, "--codec", "ffv1"} + kMovie, &errors), 0) << errors.toStdString();
    // Nothing on standard error that is not a terminal.
    EXPECT_EQ(errors, "");
    for (const int k : {0, 1, 6, 11}) {
        const QString picture = dir.filePath(QString("frame%1.bmp").arg(k));
        QStringList render = kMovie.mid(0, 6) + QStringList {"--render", picture, "--zoom", ZoomOfFrame(k)};
        ASSERT_EQ(RunNivo(render), 0);
        const QByteArray frame = DecodedFrame(movie, k);
        ASSERT_EQ(frame.size(), 64 * 48 * 3) << "frame " << k;
        EXPECT_TRUE(frame == RgbRows(QImage(picture))) << "frame " << k;
        if (k == 6) {
            EXPECT_FALSE(frame == DecodedFrame(movie, 5)) << "two frames alike";
        }
    }
}

// A segment is the frames of its range, coloured as in the whole movie.
TEST(MovieCommand, ASegmentHoldsTheFramesOfItsRange)
{
    if (!HasFfmpeg())
        GTEST_SKIP() << "ffmpeg is not installed";
    QTemporaryDir dir;
    const QString whole = dir.filePath("whole.mkv");
    const QString part = dir.filePath("part.mkv");
    ASSERT_EQ(RunNivo(QStringList {"--movie", whole, "--codec", "ffv1"} + kMovie), 0);
    ASSERT_EQ(RunNivo(QStringList {"--movie", part, "--codec", "ffv1", "--range", "9-10"} + kMovie), 0);
    EXPECT_EQ(DecodedFrame(part, 0), DecodedFrame(whole, 9));
    EXPECT_EQ(DecodedFrame(part, 1), DecodedFrame(whole, 10));
    EXPECT_TRUE(DecodedFrame(part, 2).isEmpty());
}

// With --deep, each frame is the deep render of its zoom on the MPFR curve.
TEST(MovieCommand, EachDeepFrameIsTheDeepRenderOfItsZoom)
{
    if (!HasFfmpeg())
        GTEST_SKIP() << "ffmpeg is not installed";
    QTemporaryDir dir;
    const QString movie = dir.filePath("deep.mkv");
    const QStringList view = {"--deep", "--size", "64x48", "--iterations", "20000", "--center",
                              "-0.743643887037158704752191506114774,0.131825904205311970493132056385139"};
    QString errors;
    ASSERT_EQ(RunNivo(QStringList {"--movie", movie, "--codec", "ffv1", "--zoom", "1e15:1e25", "--frames", "3"} + view,
                      &errors),
              0)
        << errors.toStdString();
    for (int k = 0; k < 3; ++k) {
        const QString picture = dir.filePath(QString("deep%1.bmp").arg(k));
        const QString zoom = QString::fromStdString(DeepFrameZoom("1e15", "1e25", k, 3));
        ASSERT_EQ(RunNivo(QStringList {"--render", picture, "--zoom", zoom} + view, &errors), 0) << errors.toStdString();
        EXPECT_TRUE(DecodedFrame(movie, k) == RgbRows(QImage(picture))) << "frame " << k << " at " << zoom.toStdString();
    }
    EXPECT_FALSE(DecodedFrame(movie, 0) == DecodedFrame(movie, 1)) << "two frames alike";
    EXPECT_FALSE(DecodedFrame(movie, 1) == DecodedFrame(movie, 2)) << "two frames alike";
}

TEST(MovieCommand, ACodecOrContainerItCannotUseIsRefusedBeforeAnyFrame)
{
    QTemporaryDir dir;
    const struct {
        const char* name;
        const char* codec;
        int status;
        const char* said;
    } cases[] = {
        {"a.mkv", "nonesuch", 2, "--codec « nonesuch » : FFmpeg n'a pas ce codec ici ; pour cette extension : "},
        {"a.webm", "ffv1", 2, "--codec « ffv1 » : ce conteneur ne peut pas le contenir ; pour cette extension : "},
        {"a.mov", nullptr, 2, "extension inconnue ; utilisez .mkv, .mp4, .avi ou .webm"},
        {"absent/a.mkv", nullptr, 1, "le dossier n'existe pas"},
    };
    for (const auto& c : cases) {
        QStringList args = QStringList {"--movie", dir.filePath(c.name)} + kMovie;
        if (c.codec)
            args << "--codec" << c.codec;
        QString errors;
        EXPECT_EQ(RunNivo(args, &errors), c.status) << c.name;
        EXPECT_TRUE(errors.contains(QString::fromUtf8(c.said))) << errors.toStdString();
    }
    EXPECT_TRUE(Entries(dir.path()).isEmpty());
}

// Ctrl+C, SIGTERM or a closed terminal half-way: the old file stays whole, nothing else is
// left, and the process ends by the signal, as its caller expects.
TEST(MovieCommand, AnInterruptedMovieLeavesTheOldFileAndNothingElse)
{
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        QTemporaryDir dir;
        WriteFile(dir.filePath("old.mkv"), "old movie");
        QProcess nivo;
        WithoutDisplay(nivo);
        nivo.start(NIVO_BINARY, {"--movie", dir.filePath("old.mkv"), "--size", "640x480", "--iterations", "1000",
                                 "--zoom", "1:1e5", "--frames", "2000"});
        ASSERT_TRUE(nivo.waitForStarted());
        ASSERT_FALSE(nivo.waitForFinished(2500)) << "the movie ended before it could be interrupted";
        ::kill(pid_t(nivo.processId()), signal);
        ASSERT_TRUE(nivo.waitForFinished(60000));
        EXPECT_EQ(nivo.exitStatus(), QProcess::CrashExit) << signal;
        EXPECT_TRUE(nivo.readAllStandardError().contains("interrompu ; aucun fichier n'a été écrit"));
        EXPECT_EQ(Contents(dir.filePath("old.mkv")), "old movie");
        EXPECT_EQ(Entries(dir.path()), QStringList {"old.mkv"});
    }
}

// Under nohup, or as a background job, the signals the caller ignores leave the movie to its end.
TEST(MovieCommand, SignalsIgnoredByTheCallerStayIgnored)
{
    for (const int signal : {SIGINT, SIGHUP}) {
        QTemporaryDir dir;
        QProcess nivo;
        WithoutDisplay(nivo);
        nivo.setChildProcessModifier([signal] { std::signal(signal, SIG_IGN); });
        nivo.start(NIVO_BINARY, {"--movie", dir.filePath("m.mkv"), "--size", "640x480", "--iterations", "1000",
                                 "--zoom", "1:1e5", "--frames", "600"});
        ASSERT_TRUE(nivo.waitForStarted());
        ASSERT_FALSE(nivo.waitForFinished(500)) << "the movie ended before the signal";
        ::kill(pid_t(nivo.processId()), signal);
        ASSERT_TRUE(nivo.waitForFinished(120000));
        EXPECT_EQ(nivo.exitStatus(), QProcess::NormalExit) << signal;
        EXPECT_EQ(nivo.exitCode(), 0) << signal;
        EXPECT_EQ(Entries(dir.path()), QStringList {"m.mkv"});
    }
}

// A deep frame inside the set takes minutes: Ctrl+C stops it, not the movie after it.
TEST(MovieCommand, CtrlCStopsADeepFrameHalfWay)
{
    QTemporaryDir dir;
    QProcess nivo;
    WithoutDisplay(nivo);
    nivo.start(NIVO_BINARY, {"--movie", dir.filePath("deep.mkv"), "--deep", "--size", "4000x1", "--iterations",
                             "3000000", "--center", "0,0", "--zoom", "1e5:1e6", "--frames", "2"});
    ASSERT_TRUE(nivo.waitForStarted());
    ASSERT_FALSE(nivo.waitForFinished(2500)) << "the movie ended before it could be interrupted";
    ::kill(pid_t(nivo.processId()), SIGINT);
    ASSERT_TRUE(nivo.waitForFinished(20000)) << "the frame went on";
    EXPECT_EQ(nivo.exitStatus(), QProcess::CrashExit);
    EXPECT_TRUE(Entries(dir.path()).isEmpty());
}

TEST(MovieProgress, SaysFramesDoneFramesASecondAndTimeLeft)
{
    EXPECT_EQ(MovieProgress::Line(12, 300, 4.0), "Film : 12/300 images, 3.0 images/s, reste 1:36");
    EXPECT_EQ(MovieProgress::Line(1, 100000, 2.0), "Film : 1/100000 images, 0.5 images/s, reste 55:33:18");
    EXPECT_EQ(MovieProgress::Line(300, 300, 10.0), "Film : 300/300 images, 30.0 images/s, reste 0:00");
    EXPECT_EQ(MovieProgress::Line(0, 300, 0.0), "Film : 0/300 images, 0.0 images/s, reste ?");
}

TEST(MovieProgress, RewritesOneLineOnATerminalAndClearsIt)
{
    const std::string shown = Captured([](std::FILE* out) {
        MovieProgress progress(out, true, 3, std::chrono::milliseconds(0));
        for (int done = 1; done <= 3; ++done)
            progress.Report(done);
    });
    EXPECT_EQ(shown.rfind("\rFilm : 1/3 images, ", 0), 0u) << shown;
    EXPECT_NE(shown.find("\rFilm : 3/3 images, "), std::string::npos) << shown;
    EXPECT_EQ(shown.find('\n'), std::string::npos) << shown;
    const std::size_t width = shown.find('\r', 1);
    const std::string blank = "\r" + std::string(width - 1, ' ') + "\r";
    ASSERT_GE(shown.size(), blank.size());
    EXPECT_EQ(shown.substr(shown.size() - blank.size()), blank) << shown;
    EXPECT_EQ(Captured([](std::FILE* out) {
                  MovieProgress progress(out, false, 3, std::chrono::milliseconds(0));
                  progress.Report(1);
              }),
              "");
    EXPECT_EQ(Captured([](std::FILE* out) {
                  MovieProgress progress(out, true, 3, std::chrono::hours(1));
                  progress.Report(1);
              }),
              "");
}

TEST(RenderCommand, AnInterruptedDeepRenderLeavesTheOldFileAlone)
{
    QTemporaryDir dir;
    const QByteArray old(1000, 'o');
    WriteFile(dir.filePath("old.png"), old);
    QProcess nivo;
    WithoutDisplay(nivo);
    // Inside a minibrot: every pixel runs to the limit.
    nivo.start(NIVO_BINARY, {"--render", dir.filePath("old.png"), "--deep", "--size", "1000x1000", "--iterations",
                             "1000000", "--center",
                             "-0.74364388703715887077806454349364257504760996232125506021388744740332244,"
                             "0.13182590420531229282109735487476726526298859967904297493747635123907031",
                             "--zoom", "1e20"});
    ASSERT_TRUE(nivo.waitForStarted());
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    ::kill(static_cast<pid_t>(nivo.processId()), SIGINT);
    ASSERT_TRUE(nivo.waitForFinished(20000));
    EXPECT_EQ(nivo.exitStatus(), QProcess::CrashExit);
    EXPECT_EQ(Contents(dir.filePath("old.png")), old);
    EXPECT_EQ(Entries(dir.path()), QStringList {"old.png"});
}
} // namespace

// Every line the command line writes is the program's own, in French: none of
// Qt's English warnings, whatever the printer and the session.
TEST(CommandLine, WritesNoToolkitMessage)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("home"));
    const QString document = dir.filePath("doc.nivo");
    WriteFile(document, "");
    QProcessEnvironment noRuntimeDir = WithoutPrinters(dir);
    noRuntimeDir.insert("XDG_RUNTIME_DIR", "");
    const struct {
        QStringList args;
        QProcessEnvironment env;
        int status;
    } cases[] = {
        {{"-p", document}, WithoutPrinters(dir), 1},
        {{"-p", document}, noRuntimeDir, 1},
        {{"-pt", document, "NivoPDF"}, noRuntimeDir, 1},
        {{"-p", dir.filePath("absent.nivo")}, noRuntimeDir, 1},
        {{"--render", dir.filePath("vue.png"), "--size", "16x9"}, noRuntimeDir, 0},
        {{"--render", dir.filePath("absent/vue.png")}, noRuntimeDir, 1},
    };
    for (const auto& c : cases) {
        QString errors;
        EXPECT_EQ(RunNivo(c.args, &errors, c.env, dir.path()), c.status) << c.args.join(' ').toStdString();
        for (const QString& line : errors.split('\n', Qt::SkipEmptyParts))
            EXPECT_TRUE(line.startsWith("nivo: ")) << c.args.join(' ').toStdString() << ": " << line.toStdString();
    }
}
