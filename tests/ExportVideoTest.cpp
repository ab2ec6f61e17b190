#include <gtest/gtest.h>

#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "FakeWindows.h"
#include "SmallDisk.h"
#include "platform/Vfw.h"
#include "render/CDibImage.h"
#include "view/CNivoView.h"

namespace {
std::string Probe(const char* entries)
{
    std::string out;
    const std::string command = std::string("ffprobe -v error -count_frames -show_entries stream=") + entries +
                                " -of default=nw=1:nk=1 test.avi 2>/dev/null";
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (fgets(buffer, sizeof buffer, pipe))
            out += buffer;
        pclose(pipe);
    }
    return out;
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

// Counts, and closes, every message box that opens while it is installed.
class MessageBoxWatch : public QObject {
public:
    MessageBoxWatch() { qApp->installEventFilter(this); }
    ~MessageBoxWatch() override { qApp->removeEventFilter(this); }
    int shown = 0;

protected:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (auto* box = qobject_cast<QMessageBox*>(object); box && event->type() == QEvent::Show) {
            ++shown;
            QTimer::singleShot(0, box, &QDialog::reject);
        }
        return false;
    }
};

struct ExportVideo : testing::Test {
    QTemporaryDir dir;
    QString previous = QDir::currentPath();
    ProgressRecorder recorder;
    CNivoView view;
    int dialogs = 0;
    bool accept = true;

    void SetUp() override
    {
        ASSERT_TRUE(QDir::setCurrent(dir.path()));
        SetSaveOptionsPrompt([this](HWND, AVICOMPRESSOPTIONS& options) {
            ++dialogs;
            EXPECT_EQ(options.fccHandler, mmioFOURCC('d', 'i', 'v', 'x'));
            options.fccHandler = mmioFOURCC('D', 'I', 'B', ' ');
            return accept;
        });
        ASSERT_TRUE(view.ShowWithClientSize(80, 60));
    }
    void TearDown() override
    {
        SetSaveOptionsPrompt(nullptr);
        QDir::setCurrent(previous);
    }
};

TEST_F(ExportVideo, FiftyFramesOfThePictureThenTheSameViewAgain)
{
    view.Render();
    const int renders = recorder.log.created;
    view.ExportVideo();
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(Probe("width,height,avg_frame_rate,nb_read_frames"), "80\n60\n1000/41\n50\n");
    ASSERT_NE(view.m_image, nullptr);
    EXPECT_NE(view.m_image->m_bitmap, nullptr);
    EXPECT_EQ(recorder.log.created, renders + 2);
    EXPECT_EQ(view.m_history.Count(), 1u);
}

TEST_F(ExportVideo, RefusedDialogKeepsTheOldVideo)
{
    view.Render();
    WriteAll("test.avi", "old video");
    accept = false;
    view.ExportVideo();
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(ReadAll("test.avi"), "old video");
    EXPECT_EQ(QDir().entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList {"test.avi"});
    EXPECT_NE(view.m_image->m_bitmap, nullptr);
    // Without an old video, none is left.
    QFile::remove("test.avi");
    view.ExportVideo();
    EXPECT_TRUE(QDir().isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}

// In a shared folder anyone may plant a link named test.avi.
TEST_F(ExportVideo, APlantedLinkIsReplacedAndItsTargetUntouched)
{
    view.Render();
    WriteAll("victim", "someone else's file");
    ASSERT_TRUE(QFile::link("victim", "test.avi"));
    view.ExportVideo();
    EXPECT_FALSE(QFileInfo("test.avi").isSymLink());
    EXPECT_EQ(Probe("nb_read_frames"), "50\n");
    EXPECT_EQ(ReadAll("victim"), "someone else's file");
    // A dangling link does not create what it names.
    ASSERT_TRUE(QFile::remove("test.avi"));
    ASSERT_TRUE(QFile::link("created-elsewhere", "test.avi"));
    view.ExportVideo();
    EXPECT_FALSE(QFileInfo("test.avi").isSymLink());
    EXPECT_EQ(Probe("nb_read_frames"), "50\n");
    EXPECT_FALSE(QFileInfo::exists("created-elsewhere"));
}

TEST_F(ExportVideo, AnUnwritableFileShowsNoDialogAndRendersAgain)
{
    view.Render();
    ASSERT_TRUE(QDir().mkdir("test.avi"));
    const int renders = recorder.log.created;
    view.ExportVideo();
    EXPECT_EQ(dialogs, 0);
    EXPECT_TRUE(QFileInfo("test.avi").isDir());
    EXPECT_EQ(recorder.log.created, renders + 2);
}

TEST_F(ExportVideo, AnEmptyPictureKeepsTheOldVideo)
{
    // A client without height: a picture exists, but it holds no bitmap.
    view.resize(80, 0);
    QApplication::processEvents();
    view.Render();
    ASSERT_NE(view.m_image, nullptr);
    ASSERT_EQ(view.m_image->m_bitmap, nullptr);
    WriteAll("test.avi", "old video");
    view.ExportVideo();
    EXPECT_EQ(dialogs, 0);
    EXPECT_EQ(ReadAll("test.avi"), "old video");
    EXPECT_EQ(QDir().entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList {"test.avi"});
}

TEST_F(ExportVideo, NothingBeforeTheFirstPicture)
{
    view.ExportVideo();
    EXPECT_EQ(dialogs, 0);
    EXPECT_FALSE(QFileInfo::exists("test.avi"));
    EXPECT_EQ(view.m_image, nullptr);
}

TEST_F(ExportVideo, ASecondExportReplacesTheFirst)
{
    view.Render();
    view.ExportVideo();
    view.resize(40, 30);
    QApplication::processEvents();
    view.ExportVideo();
    EXPECT_EQ(Probe("width,height,nb_read_frames"), "40\n30\n50\n");
}

// The current folder on a small file system of its own.
struct ExportVideoOnSmallDisk : ExportVideo {
    const QByteArray oldVideo = QByteArray(1000, 'o');
    std::unique_ptr<SmallDisk> disk;
    MessageBoxWatch messages;

    void SetUp() override
    {
        ExportVideo::SetUp();
        disk = std::make_unique<SmallDisk>(dir.path().toStdString());
        if (!disk->Mounted())
            GTEST_SKIP() << SmallDisk::kNotPermitted;
        // Step into the new file system mounted over the folder.
        ASSERT_TRUE(QDir::setCurrent(dir.path()));
        WriteAll("test.avi", oldVideo);
        view.Render();
    }
    void TearDown() override
    {
        ExportVideo::TearDown();
        disk.reset();
    }
    QStringList Entries() const { return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot); }

    // No message, the old video alone in the folder, and the picture drawn again.
    void ExpectOldVideoAndPictureBack(int rendersBefore)
    {
        EXPECT_EQ(messages.shown, 0);
        EXPECT_TRUE(ReadAll("test.avi") == oldVideo) << "the old video was overwritten";
        EXPECT_EQ(Entries(), QStringList {"test.avi"});
        EXPECT_EQ(recorder.log.created, rendersBefore + 2);
        ASSERT_NE(view.m_image, nullptr);
        EXPECT_NE(view.m_image->m_bitmap, nullptr);
    }
};

TEST_F(ExportVideoOnSmallDisk, AVideoThatDoesNotFitKeepsTheOldFileAndRendersAgain)
{
    // 50 uncompressed frames of 80 x 60 take 720 000 bytes, far beyond the 64 KiB.
    const int renders = recorder.log.created;
    view.ExportVideo();
    EXPECT_EQ(dialogs, 1);
    ExpectOldVideoAndPictureBack(renders);
    EXPECT_EQ(view.m_history.Count(), 1u);
}

TEST_F(ExportVideoOnSmallDisk, AReadOnlyFolderShowsNoDialogAndRendersAgain)
{
    ASSERT_TRUE(disk->MakeReadOnly());
    const int renders = recorder.log.created;
    view.ExportVideo();
    EXPECT_EQ(dialogs, 0);
    ExpectOldVideoAndPictureBack(renders);
}
} // namespace
