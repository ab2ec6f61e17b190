#include <gtest/gtest.h>

#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>

#include "FakeWindows.h"
#include "platform/Vfw.h"
#include "view/CDibImage.h"
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
        view.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view.resize(80, 60);
        view.show();
        QApplication::processEvents();
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

TEST_F(ExportVideo, RefusedDialogLeavesAFileWithoutFrames)
{
    view.Render();
    accept = false;
    view.ExportVideo();
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(Probe("codec_type"), "video\n");
    EXPECT_NE(view.m_image->m_bitmap, nullptr);
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
} // namespace
