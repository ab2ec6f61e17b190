#include <gtest/gtest.h>

#include <QDir>
#include <QFileDialog>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QListView>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTemporaryDir>

#include "ModalDriver.h"
#include "SmallDisk.h"
#include "view/CommandIds.h"
#include "render/CDibImage.h"
#include "view/CNivoView.h"

namespace {
struct ExportImage : testing::Test {
    CNivoView view;
    QTemporaryDir dir;
    QStringList messages;

    void SetUp() override
    {
        ASSERT_TRUE(view.ShowWithClientSize(64, 48));
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

// The names the dialog lists and enables in its current folder.
QStringList Listed(QFileDialog* dialog)
{
    auto* list = dialog->findChild<QListView*>("listView");
    QStringList names;
    if (!list || !list->model())
        return names;
    const QAbstractItemModel* model = list->model();
    for (int row = 0; row < model->rowCount(list->rootIndex()); ++row) {
        const QModelIndex index = model->index(row, 0, list->rootIndex());
        if (model->flags(index) & Qt::ItemIsEnabled)
            names << index.data().toString();
    }
    names.sort();
    return names;
}

// Lets the dialog read its folder: until something is listed, then a little more.
QStringList ListedOnceRead(QFileDialog* dialog)
{
    QElapsedTimer clock;
    clock.start();
    while (Listed(dialog).isEmpty() && clock.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    for (QElapsedTimer settle; !settle.isValid() || settle.elapsed() < 50;) {
        if (!settle.isValid())
            settle.start();
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return Listed(dialog);
}

// Picks a filter entry the way the user does, through the combo box.
void ChooseEntry(QFileDialog* dialog, int entry)
{
    auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
    types->setCurrentIndex(entry);
    emit types->activated(entry);
    emit types->textActivated(types->itemText(entry));
}

TEST_F(ExportImage, EntriesShowTheirTextAndListFilesByTheirPattern)
{
    for (const char* name : {"a.jpeg", "b.jpg", "c.jpe", "d.png", "e.bmp", "f.JPG"}) {
        QFile file(Path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    view.Render();
    view.m_lastExportPath = Path("x.png").toStdString();
    QStringList texts;
    QStringList shown[3];
    QString typed;
    OnNextModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        texts = dialog->nameFilters();
        for (int entry : {1, 2, 0}) {
            ChooseEntry(dialog, entry);
            shown[entry] = ListedOnceRead(dialog);
        }
        EXPECT_EQ(dialog->selectedNameFilter(), "PNG Files (*.png)");
        // A typed extension follows the entry chosen afterwards.
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        name->setText("vue.png");
        ChooseEntry(dialog, 1);
        typed = name->text();
        EXPECT_EQ(dialog->selectedNameFilter(), "JPEG Files (*.jpeg, *.jpg)");
        QMetaObject::invokeMethod(dialog, "accept");
    });
    view.ExportImageAs();
    EXPECT_EQ(texts, (QStringList {"PNG Files (*.png)", "JPEG Files (*.jpeg, *.jpg)", "BMP Files (*.bmp)"}));
    EXPECT_EQ(shown[1], (QStringList {"a.jpeg", "b.jpg", "c.jpe", "f.JPG"}));
    EXPECT_EQ(shown[2], (QStringList {"e.bmp"}));
    EXPECT_EQ(shown[0], (QStringList {"d.png"}));
    EXPECT_EQ(typed, "vue.jpg");
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(view.m_lastExportPath, Path("vue.jpg").toStdString());
    QFile jpeg(Path("vue.jpg"));
    ASSERT_TRUE(jpeg.open(QIODevice::ReadOnly));
    EXPECT_TRUE(jpeg.read(3).startsWith("\xFF\xD8\xFF"));
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
