#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMessageBox>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "ModalDriver.h"
#include "SmallDisk.h"
#include "app/CMainFrame.h"
#include "app/CNivoApp.h"
#include "app/CommandIds.h"
#include "app/CommandLine.h"
#include "app/RecentFileList.h"
#include "fractal/CNivoDoc.h"
#include "view/CDibImage.h"
#include "view/CNivoView.h"

namespace {
CNivoApp& App() { return *static_cast<CNivoApp*>(QCoreApplication::instance()); }

struct Documents : testing::Test {
    QTemporaryDir home;
    QTemporaryDir files;
    QStringList messages;

    void SetUp() override
    {
        // Settings of this test live in a home of their own.
        qputenv("XDG_CONFIG_HOME", home.filePath(".config").toUtf8());
        ASSERT_TRUE(App().InitInstance(CommandLine {}));
        QApplication::processEvents();
    }
    void TearDown() override { qunsetenv("XDG_CONFIG_HOME"); }

    QString NewFile(const QString& name, const QByteArray& contents = {})
    {
        QFile file(files.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
        return file.fileName();
    }
    void AnswerMessage()
    {
        OnNextModal([this](QWidget* modal) {
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                messages << box->text();
                box->accept();
            }
        });
    }
    QString Title() const { return App().MainFrame()->windowTitle(); }
    QStringList RecentMenu() const
    {
        QStringList texts;
        for (QAction* a : App().MainFrame()->Menu(0)->actions())
            if (a->objectName().startsWith("ID_FILE_MRU"))
                texts << a->text();
        return texts;
    }
};

TEST_F(Documents, OpeningAnyFileRetitlesAndRemembersIt)
{
    CNivoView* view = App().View();
    view->resize(200, 150);
    view->Render();
    const std::size_t records = view->m_history.Count();
    const CDibImage* picture = view->m_image;
    EXPECT_EQ(RecentMenu(), QStringList {QString::fromUtf8("Fichier récent")});
    EXPECT_FALSE(App().MainFrame()->Action(ID_FILE_MRU_FILE1)->isEnabled());

    EXPECT_TRUE(App().OpenDocumentFile(NewFile("vide.txt")));
    EXPECT_EQ(Title(), "vide.txt - nivo");
    EXPECT_EQ(App().RecentFiles().Paths(), QStringList {files.filePath("vide.txt")});
    EXPECT_EQ(RecentMenu(), QStringList {"&1 " + files.filePath("vide.txt")});
    EXPECT_TRUE(App().MainFrame()->Action(ID_FILE_MRU_FILE1)->isEnabled());
    EXPECT_EQ(view->m_history.Count(), records);
    EXPECT_EQ(view->m_image, picture);
    EXPECT_FALSE(App().Document()->IsModified());
}

TEST_F(Documents, ReopeningTheCurrentFileChangesNothing)
{
    const QString path = NewFile("a.nivo", "contenu ignoré");
    EXPECT_TRUE(App().OpenDocumentFile(path));
    App().MainFrame()->setWindowTitle("changed");
    EXPECT_TRUE(App().OpenDocumentFile(path));
    EXPECT_EQ(Title(), "changed");
    EXPECT_EQ(App().RecentFiles().Paths().size(), 1);
}

TEST_F(Documents, FilesThatCannotBeOpenedLeavePathAndTitle)
{
    EXPECT_TRUE(App().OpenDocumentFile(NewFile("bon")));
    ASSERT_EQ(mkfifo(files.filePath("tube").toUtf8().constData(), 0600), 0);
    QDir(files.path()).mkdir("dossier");
    for (const QString& bad : {files.filePath("absent"), files.filePath("tube"), files.filePath("dossier")}) {
        AnswerMessage();
        EXPECT_FALSE(App().OpenDocumentFile(bad));
        EXPECT_EQ(Title(), "bon - nivo");
        EXPECT_EQ(App().Document()->m_strPathName, files.filePath("bon").toStdString());
    }
    ASSERT_EQ(messages.size(), 3);
    EXPECT_TRUE(messages[0].contains("introuvable"));
    EXPECT_TRUE(messages[1].contains("pas un fichier ordinaire"));
    EXPECT_TRUE(messages[2].contains("pas un fichier ordinaire"));
}

TEST_F(Documents, RecentListKeepsFourNewestFirstAcrossRuns)
{
    for (const char* name : {"1", "2", "3", "4", "5"})
        App().OpenDocumentFile(NewFile(name));
    const QStringList expected = {files.filePath("5"), files.filePath("4"), files.filePath("3"), files.filePath("2")};
    EXPECT_EQ(App().RecentFiles().Paths(), expected);
    ASSERT_TRUE(App().InitInstance(CommandLine {}));
    EXPECT_EQ(App().RecentFiles().Paths(), expected);
    EXPECT_EQ(RecentMenu().size(), 4);
    EXPECT_EQ(RecentMenu()[0], "&1 " + files.filePath("5"));
    // A recent entry that has gone: the message, then the entry leaves the menu and the settings.
    QFile::remove(files.filePath("4"));
    AnswerMessage();
    App().MainFrame()->RunCommand(ID_FILE_MRU_FILE1 + 1);
    EXPECT_EQ(messages.size(), 1);
    const QStringList remaining = {files.filePath("5"), files.filePath("3"), files.filePath("2")};
    EXPECT_EQ(App().RecentFiles().Paths(), remaining);
    EXPECT_EQ(RecentMenu(), (QStringList {"&1 " + files.filePath("5"), "&2 " + files.filePath("3"),
                                          "&3 " + files.filePath("2")}));
    App().MainFrame()->RunCommand(ID_FILE_MRU_FILE1 + 1);
    EXPECT_EQ(Title(), "3 - nivo");
    ASSERT_TRUE(App().InitInstance(CommandLine {}));
    EXPECT_EQ(App().RecentFiles().Paths(), (QStringList {files.filePath("3"), files.filePath("5"), files.filePath("2")}));
}

TEST_F(Documents, SaveCommandsWriteNothingAndShowNothing)
{
    const QStringList before = QDir(files.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries);
    for (int id : {ID_FILE_SAVE, ID_FILE_SAVE_AS})
        EXPECT_TRUE(App().MainFrame()->RunCommand(id));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(QDir(files.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), before);
}

TEST_F(Documents, FileOnTheCommandLineOpensButTheStartTitleStays)
{
    CommandLine line;
    line.file = NewFile("depart.nivo");
    ASSERT_TRUE(App().InitInstance(line));
    EXPECT_EQ(Title(), "Nivo - Lumivex");
    EXPECT_EQ(App().Document()->m_strPathName, line.file.toStdString());
}

TEST(RecentFileList, KeepsTheOldSettingsWhenTheyCannotBeWritten)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("nivo.conf");
    RecentFileList list(file);
    ASSERT_TRUE(list.Add("/a"));
    {
        QSettings other(file, QSettings::IniFormat);
        other.setValue("Settings/PreviewPages", 2);
    }
    ASSERT_TRUE(list.Add("/b"));
    QSettings kept(file, QSettings::IniFormat);
    EXPECT_EQ(kept.value("Settings/PreviewPages").toInt(), 2);
    const QByteArray before = [&] {
        QFile f(file);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    // A folder that cannot take the new file: the old one stays as it was.
    EXPECT_FALSE(RecentFileList("/proc/nivo/nivo.conf").Add("/c"));
    QFile f(file);
    f.open(QIODevice::ReadOnly);
    EXPECT_EQ(f.readAll(), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList {"nivo.conf"});
}

QByteArray Contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The settings folder on a small file system, holding settings written before.
struct RecentFileListOnSmallDisk : testing::Test {
    QTemporaryDir dir;
    std::unique_ptr<SmallDisk> disk;
    QString file;
    QByteArray before;

    void SetUp() override
    {
        disk = std::make_unique<SmallDisk>(dir.path().toStdString());
        if (!disk->Mounted())
            GTEST_SKIP() << SmallDisk::kNotPermitted;
        file = dir.filePath("nivo.conf");
        ASSERT_TRUE(RecentFileList(file).Add("/a"));
        QSettings(file, QSettings::IniFormat).setValue("Settings/PreviewPages", 2);
        before = Contents(file);
        ASSERT_TRUE(before.contains("PreviewPages"));
    }
    void TearDown() override { disk.reset(); }

    QStringList Entries() const { return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot); }
};

class RecentFileListOnFullDisk : public RecentFileListOnSmallDisk, public testing::WithParamInterface<long> {};

// With no room at all, or room for the lock file the settings writer makes
// but not for the settings themselves.
TEST_P(RecentFileListOnFullDisk, KeepsTheOldSettingsUntilThereIsRoom)
{
    ASSERT_TRUE(disk->Fill("filler", GetParam()));
    RecentFileList list(file);
    list.Load();
    EXPECT_FALSE(list.Add("/b"));
    EXPECT_EQ(Contents(file), before);
    EXPECT_EQ(Entries(), (QStringList {"filler", "nivo.conf"}));

    // With room again, the list is written whole, the other settings with it.
    QFile::remove(dir.filePath("filler"));
    EXPECT_TRUE(list.Add("/c"));
    RecentFileList reread(file);
    reread.Load();
    EXPECT_EQ(reread.Paths(), (QStringList {"/c", "/b", "/a"}));
    EXPECT_EQ(QSettings(file, QSettings::IniFormat).value("Settings/PreviewPages").toInt(), 2);
    EXPECT_EQ(Entries(), QStringList {"nivo.conf"});
}

INSTANTIATE_TEST_SUITE_P(Spare, RecentFileListOnFullDisk, testing::Values(0L, 4096L));

TEST_F(RecentFileListOnSmallDisk, AReadOnlyFolderKeepsTheOldSettings)
{
    ASSERT_TRUE(disk->MakeReadOnly());
    RecentFileList list(file);
    list.Load();
    EXPECT_FALSE(list.Add("/b"));
    EXPECT_EQ(Contents(file), before);
    EXPECT_EQ(Entries(), QStringList {"nivo.conf"});
}
} // namespace
