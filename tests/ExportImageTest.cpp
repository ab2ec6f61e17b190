#include <gtest/gtest.h>

#include <QDir>
#include <QFileDialog>
#include <QImage>
#include <QMessageBox>
#include <QTemporaryDir>

#include "ModalDriver.h"
#include "SmallDisk.h"
#include "app/CommandIds.h"
#include "view/CDibImage.h"
#include "view/CNivoView.h"

namespace {
struct ExportImage : testing::Test {
    CNivoView view;
    QTemporaryDir dir;
    QStringList messages;

    void SetUp() override
    {
        view.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view.resize(64, 48);
        view.show();
        QApplication::processEvents();
        WatchForMessages();
    }

    QString Path(const QString& name) const { return dir.filePath(name); }

    // Answers the save dialog with `name`, optionally choosing a filter entry first.
    void AnswerSaveDialog(const QString& name, int filter = 0)
    {
        OnNextModal([this, name, filter](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            ASSERT_NE(dialog, nullptr);
            ASSERT_EQ(dialog->nameFilters().size(), 3);
            EXPECT_EQ(dialog->selectedNameFilter(), "PNG Files (*.png)");
            if (filter) {
                dialog->selectNameFilter(dialog->nameFilters()[filter]);
                emit dialog->filterSelected(dialog->nameFilters()[filter]);
            }
            dialog->selectFile(name);
            QMetaObject::invokeMethod(dialog, "accept");
        });
    }
    // Answers every message box that appears, however slowly it comes.
    QTimer boxWatcher;
    void WatchForMessages()
    {
        boxWatcher.setInterval(10);
        QObject::connect(&boxWatcher, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                messages << box->windowTitle() + "|" + box->text();
                EXPECT_EQ(box->icon(), QMessageBox::Warning);
                box->accept();
            }
        });
        boxWatcher.start();
    }
    bool Enabled(int id)
    {
        CommandState state;
        view.OnCmdMsg(id, &state);
        return state.enabled;
    }
    QImage Shown() const
    {
        QImage image(view.m_image->m_width, view.m_image->m_height, QImage::Format_RGB888);
        for (int r = 0; r < image.height(); ++r)
            for (int c = 0; c < image.width(); ++c) {
                const BYTE* p = view.m_image->m_topRow + r * view.m_image->m_pitch + c * 3;
                image.setPixel(c, r, qRgb(p[2], p[1], p[0]));
            }
        return image;
    }
};

const QString kFailure = QString::fromUtf8("Erreur|Erreur lors de l'enregistrement de l'image.");

TEST_F(ExportImage, GreyedUntilThereIsAPicture)
{
    EXPECT_FALSE(Enabled(ID_FILE_EXPORT_IMAGE));
    EXPECT_FALSE(Enabled(ID_FILE_EXPORT_IMAGE_AS));
    view.Render();
    EXPECT_TRUE(Enabled(ID_FILE_EXPORT_IMAGE));
    EXPECT_TRUE(Enabled(ID_FILE_EXPORT_IMAGE_AS));
}

TEST_F(ExportImage, SavesThroughTheDialogAndRemembersThePath)
{
    view.Render();
    AnswerSaveDialog(Path("vue.png"));
    view.ExportImageAs();
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(view.m_lastExportPath, Path("vue.png").toStdString());
    const QImage saved(Path("vue.png"), "PNG");
    ASSERT_FALSE(saved.isNull());
    EXPECT_EQ(saved.convertToFormat(QImage::Format_RGB888), Shown());
}

TEST_F(ExportImage, NameWithoutExtensionTakesTheSelectedEntry)
{
    view.Render();
    AnswerSaveDialog(Path("sans_extension"), 2);
    view.ExportImageAs();
    EXPECT_TRUE(QFile::exists(Path("sans_extension.bmp")));
    EXPECT_EQ(QImage(Path("sans_extension.bmp"), "BMP").size(), QSize(64, 48));
}

TEST_F(ExportImage, FailureShowsTheMessageAndQuickExportKeepsTheGoodPath)
{
    view.Render();
    AnswerSaveDialog(Path("a.png"));
    view.ExportImageAs();
    AnswerSaveDialog(Path("b.xyz"));
    view.ExportImageAs();
    EXPECT_EQ(messages, QStringList {kFailure});
    EXPECT_EQ(view.m_lastExportPath, Path("a.png").toStdString());
    QFile::remove(Path("a.png"));
    view.m_centerX = 0.25;
    view.Render();
    view.OnCmdMsg(ID_FILE_EXPORT_IMAGE, nullptr);
    EXPECT_EQ(QImage(Path("a.png")).convertToFormat(QImage::Format_RGB888), Shown());
}

TEST_F(ExportImage, QuickExportWithoutPathAsksLikeExportAs)
{
    view.Render();
    AnswerSaveDialog(Path("premier.jpg"));
    view.OnCmdMsg(ID_FILE_EXPORT_IMAGE, nullptr);
    EXPECT_EQ(view.m_lastExportPath, Path("premier.jpg").toStdString());
    QFile file(Path("premier.jpg"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.read(3).startsWith("\xFF\xD8\xFF"));
}

TEST_F(ExportImage, UnknownExtensionFailsWithoutRememberingIt)
{
    view.Render();
    AnswerSaveDialog(Path("image.xyz"));
    view.ExportImageAs();
    EXPECT_EQ(messages, QStringList {kFailure});
    EXPECT_EQ(view.m_lastExportPath, "");
    EXPECT_FALSE(QFile::exists(Path("image.xyz")));
}

TEST_F(ExportImage, CancelDoesNothing)
{
    view.Render();
    OnNextModal([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
    view.ExportImageAs();
    EXPECT_EQ(view.m_lastExportPath, "");
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST_F(ExportImage, AccentedNamesComeOutRight)
{
    view.Render();
    const QString name = Path(QString::fromUtf8("Mandelbrot été.png"));
    AnswerSaveDialog(name);
    view.ExportImageAs();
    EXPECT_TRUE(QFile::exists(name));
    EXPECT_TRUE(messages.isEmpty());
}
} // namespace

namespace {
TEST_F(ExportImage, ADiskThatFillsDuringTheSaveShowsTheMessageAndKeepsTheOldFile)
{
    SmallDisk disk(dir.path().toStdString());
    if (!disk.Mounted())
        GTEST_SKIP() << SmallDisk::kNotPermitted;
    view.Render();
    const QByteArray old(3000, 'o');
    QFile file(Path("old.bmp"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(old), old.size());
    file.close();
    // The 64 x 48 BMP takes about 9 KiB: part of it fits.
    ASSERT_TRUE(disk.Fill("filler", 4096));
    // The quick export replaces the remembered file without asking.
    view.m_lastExportPath = Path("old.bmp").toStdString();
    view.ExportImage();
    EXPECT_EQ(messages, QStringList {kFailure});
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              (QStringList {"filler", "old.bmp"}));
}
} // namespace
