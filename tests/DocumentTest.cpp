#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
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
#include "view/CommandIds.h"
#include "cli/CommandLine.h"
#include "app/RecentFileList.h"
#include "app/SettingsText.h"
#include "fractal/CNivoDoc.h"
#include "render/CDibImage.h"
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
}

// Relative names, and "." and ".." in them, name the document as its
// absolute path: once in the list, and the same document when reopened.
TEST_F(Documents, RelativeNamesOpenAsTheirAbsolutePath)
{
    const QString path = NewFile("r.nivo");
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(files.path()));
    EXPECT_TRUE(App().OpenDocumentFile("./r.nivo"));
    EXPECT_TRUE(App().OpenDocumentFile("../" + QDir(files.path()).dirName() + "/./r.nivo"));
    QDir::setCurrent(before);
    EXPECT_EQ(App().Document()->m_strPathName, QFileInfo(path).absoluteFilePath().toStdString());
    EXPECT_EQ(App().RecentFiles().Paths(), QStringList {QFileInfo(path).absoluteFilePath()});
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
    ASSERT_TRUE(QFile::link("boucle", files.filePath("boucle")));
    const int listening = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    const QByteArray socketPath = QFile::encodeName(files.filePath("prise"));
    ASSERT_LT(std::size_t(socketPath.size()), sizeof address.sun_path);
    std::memcpy(address.sun_path, socketPath.constData(), std::size_t(socketPath.size()));
    ASSERT_EQ(bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    for (const QString& bad : {files.filePath("absent"), files.filePath("tube"), files.filePath("dossier"),
                               files.filePath("boucle"), files.filePath("prise")}) {
        AnswerMessage();
        EXPECT_FALSE(App().OpenDocumentFile(bad));
        EXPECT_EQ(Title(), "bon - nivo");
        EXPECT_EQ(App().Document()->m_strPathName, files.filePath("bon").toStdString());
    }
    close(listening);
    ASSERT_EQ(messages.size(), 5);
    EXPECT_TRUE(messages[0].contains("introuvable"));
    EXPECT_TRUE(messages[1].contains("pas un fichier ordinaire"));
    EXPECT_TRUE(messages[2].contains("pas un fichier ordinaire"));
    EXPECT_TRUE(messages[3].contains("boucle de liens symboliques")) << messages[3].toStdString();
    EXPECT_TRUE(messages[4].contains("c'est une socket")) << messages[4].toStdString();
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

TEST_F(Documents, AFileOnTheCommandLineThatCannotBeOpenedEndsTheProgram)
{
    CommandLine line;
    line.file = files.filePath("absent.nivo");
    AnswerMessage();
    EXPECT_FALSE(App().InitInstance(line));
    EXPECT_EQ(App().ExitStatus(), 1);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("introuvable"));
}

TEST(RecentFileList, KeepsTheOldSettingsWhenTheyCannotBeWritten)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("nivo.conf");
    RecentFileList list(QFile::encodeName(file));
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

QByteArray Contents(const QString& path);

struct SettingsEdit {
    QByteArray before;
    QList<QByteArray> entries;
    QByteArray after;
};

// Only File1 .. File4 of the recent section are Nivo's: every other byte of
// the settings stays, and entries are bytes, whatever they hold.
TEST(SettingsText, ReplacesTheEntriesAndNothingElse)
{
    const QByteArray others = "; a comment\n[Other]\nk=va lue;x\nq=\"a;b\"\r\n\n";
    for (const SettingsEdit& c : {
             SettingsEdit {"", {"/a"}, "[Recent%20File%20List]\nFile1=/a\n"},
             SettingsEdit {others, {"/a", "/b"}, others + "\n[Recent%20File%20List]\nFile1=/a\nFile2=/b\n"},
             SettingsEdit {"[Recent%20File%20List]\nFile1=/old\nFile3=/gone\nMine=1\n" + others, {"/n"},
                           "[Recent%20File%20List]\nFile1=/n\nMine=1\n" + others},
             SettingsEdit {"# kept\n[Recent%20File%20List]\r\nFile1=/x\r\n", {}, "# kept\n[Recent%20File%20List]\r\n"},
             SettingsEdit {"", {" lead", "a,b;c\"d\\e=f", "/t\tab", "/v\xff\xfe"},
                           "[Recent%20File%20List]\nFile1=\" lead\"\nFile2=\"a,b;c\\\"d\\\\e=f\"\n"
                           "File3=\"/t\\x09ab\"\nFile4=/v\xff\xfe\n"}}) {
        const QByteArray after = WithRecentEntries(c.before, c.entries);
        EXPECT_EQ(after, c.after) << c.before.toStdString();
        EXPECT_EQ(RecentEntriesIn(after), c.entries) << after.toStdString();
    }
    // As Qt wrote them: quoted, escaped, or with a comment after.
    EXPECT_EQ(RecentEntriesIn("[Recent%20File%20List]\nFile2=\"/a \\\"q\\\" \"\nFile1=/b ; note\n[X]\nFile3=/no\n"),
              (QList<QByteArray> {"/b", "/a \"q\" "}));
}

// Two instances each add an entry at the same moment, again and again:
// both entries are there every time, and the rest of the settings too.
TEST(RecentFileList, TwoInstancesAtOnceKeepBothEntries)
{
    QTemporaryDir dir;
    const QByteArray file = QFile::encodeName(dir.filePath("nivo.ini"));
    const QByteArray others = "; mine\n[Settings]\nk=va lue;x\n";
    int lost = 0;
    for (int round = 0; round < 50; ++round) {
        {
            QFile out(QFile::decodeName(file));
            ASSERT_TRUE(out.open(QIODevice::WriteOnly));
            out.write(others);
        }
        int start[2];
        ASSERT_EQ(pipe(start), 0);
        pid_t children[2];
        for (int i = 0; i < 2; ++i) {
            children[i] = fork();
            if (children[i] == 0) {
                RecentFileList list(file);
                list.Load();
                char go;
                close(start[1]);
                // Both wait here until the pipe closes, then add at once.
                (void)!read(start[0], &go, 1);
                _exit(list.Add(i == 0 ? "/first" : "/second") ? 0 : 1);
            }
        }
        close(start[0]);
        close(start[1]);
        for (const pid_t child : children) {
            int status = 0;
            ASSERT_EQ(waitpid(child, &status, 0), child);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
        RecentFileList reread(file);
        reread.Load();
        const QList<QByteArray> entries = reread.Entries();
        if (entries.size() != 2 || !entries.contains("/first") || !entries.contains("/second"))
            ++lost;
        EXPECT_TRUE(Contents(QFile::decodeName(file)).startsWith(others));
        QFile::remove(QFile::decodeName(file));
    }
    EXPECT_EQ(lost, 0);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList {});
}

// An entry that is not UTF-8 is kept byte for byte when another is added,
// and a home whose name is not UTF-8 takes the settings under that name.
TEST(RecentFileList, EntriesAndFoldersStayBytes)
{
    QTemporaryDir dir;
    const QByteArray home = QFile::encodeName(dir.path()) + "/h\xe9";
    const QByteArray file = home + "/.config/nivo.ini";
    RecentFileList list(file);
    ASSERT_TRUE(list.Add("/doc-\xff"));
    ASSERT_TRUE(list.Add("/b"));
    RecentFileList reread(file);
    reread.Load();
    EXPECT_EQ(reread.Entries(), (QList<QByteArray> {"/b", "/doc-\xff"}));
    struct stat info {};
    EXPECT_EQ(stat(file.constData(), &info), 0);
    std::filesystem::remove_all(home.constData());
}

// The program's own settings follow XDG_CONFIG_HOME byte for byte.
TEST(RecentFileList, ASettingsFolderThatIsNotTextIsUsedAsNamed)
{
    QTemporaryDir dir;
    const QByteArray config = QFile::encodeName(dir.path()) + "/c\xe9";
    qputenv("XDG_CONFIG_HOME", config);
    ASSERT_TRUE(App().InitInstance(CommandLine {}));
    QFile document(dir.filePath("doc"));
    ASSERT_TRUE(document.open(QIODevice::WriteOnly));
    document.close();
    EXPECT_TRUE(App().OpenDocumentFile(document.fileName()));
    qunsetenv("XDG_CONFIG_HOME");
    struct stat info {};
    EXPECT_EQ(stat((config + "/Local AppWizard-Generated Applications/nivo.ini").constData(), &info), 0);
    std::filesystem::remove_all(config.constData());
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
        ASSERT_TRUE(RecentFileList(QFile::encodeName(file)).Add("/a"));
        QSettings(file, QSettings::IniFormat).setValue("Settings/PreviewPages", 2);
        before = Contents(file);
        ASSERT_TRUE(before.contains("PreviewPages"));
    }
    void TearDown() override { disk.reset(); }

    QStringList Entries() const { return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot); }
};

class RecentFileListOnFullDisk : public RecentFileListOnSmallDisk, public testing::WithParamInterface<long> {};

// With no room at all: the settings are made aside, away from the full disk,
// and only the finished file comes here.
TEST_P(RecentFileListOnFullDisk, KeepsTheOldSettingsUntilThereIsRoom)
{
    ASSERT_TRUE(disk->Fill("filler", GetParam()));
    RecentFileList list(QFile::encodeName(file));
    list.Load();
    EXPECT_FALSE(list.Add("/b"));
    EXPECT_EQ(Contents(file), before);
    EXPECT_EQ(Entries(), (QStringList {"filler", "nivo.conf"}));

    // With room again, the list is written whole, the other settings with it.
    QFile::remove(dir.filePath("filler"));
    EXPECT_TRUE(list.Add("/c"));
    RecentFileList reread(QFile::encodeName(file));
    reread.Load();
    EXPECT_EQ(reread.Paths(), (QStringList {"/c", "/b", "/a"}));
    EXPECT_EQ(QSettings(file, QSettings::IniFormat).value("Settings/PreviewPages").toInt(), 2);
    EXPECT_EQ(Entries(), QStringList {"nivo.conf"});
}

INSTANTIATE_TEST_SUITE_P(Spare, RecentFileListOnFullDisk, testing::Values(0L));

// One page of room takes the whole of the settings, the others with them.
TEST_F(RecentFileListOnSmallDisk, APageOfRoomIsEnoughForTheSettings)
{
    ASSERT_TRUE(disk->Fill("filler", 4096));
    RecentFileList list(QFile::encodeName(file));
    list.Load();
    EXPECT_TRUE(list.Add("/b"));
    EXPECT_EQ(QSettings(file, QSettings::IniFormat).value("Settings/PreviewPages").toInt(), 2);
    RecentFileList reread(QFile::encodeName(file));
    reread.Load();
    EXPECT_EQ(reread.Paths(), (QStringList {"/b", "/a"}));
    EXPECT_EQ(Entries(), (QStringList {"filler", "nivo.conf"}));
}

TEST_F(RecentFileListOnSmallDisk, AReadOnlyFolderKeepsTheOldSettings)
{
    ASSERT_TRUE(disk->MakeReadOnly());
    RecentFileList list(QFile::encodeName(file));
    list.Load();
    EXPECT_FALSE(list.Add("/b"));
    EXPECT_EQ(Contents(file), before);
    EXPECT_EQ(Entries(), QStringList {"nivo.conf"});
}

// Settings that cannot be read are kept exactly as they are: the list
// starts empty at once and nothing is ever written over them.
struct UnreadableSettings : testing::Test {
    QTemporaryDir dir;
    QString file = dir.filePath("nivo.ini");
    const QByteArray kSettings = "[Recent%20File%20List]\nFile1=/a\n\n[Settings]\nPreviewPages=2\n";

    // Loads within a second, finds nothing, and refuses to write.
    void ExpectLeftAlone()
    {
        RecentFileList list(QFile::encodeName(file));
        QElapsedTimer clock;
        clock.start();
        list.Load();
        EXPECT_LT(clock.elapsed(), 1000);
        EXPECT_TRUE(list.Paths().isEmpty());
        EXPECT_FALSE(list.Add("/b"));
        EXPECT_FALSE(list.Remove("/b"));
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot),
                  QStringList {"nivo.ini"});
    }
};

TEST_F(UnreadableSettings, APipeIsNotWaitedOn)
{
    ASSERT_EQ(mkfifo(QFile::encodeName(file).constData(), 0600), 0);
    ExpectLeftAlone();
    struct stat info {};
    ASSERT_EQ(lstat(QFile::encodeName(file).constData(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
}

TEST_F(UnreadableSettings, ADeviceIsNotReadForEver)
{
    for (const char* device : {"/dev/zero", "/dev/null"}) {
        QFile::remove(file);
        ASSERT_TRUE(QFile::link(device, file));
        ExpectLeftAlone();
        EXPECT_EQ(QFileInfo(file).symLinkTarget(), device);
    }
}

TEST_F(UnreadableSettings, AFolderOrAHugeFileIsKept)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir("nivo.ini"));
    ExpectLeftAlone();
    EXPECT_TRUE(QFileInfo(file).isDir());
    ASSERT_TRUE(QDir(dir.path()).rmdir("nivo.ini"));
    // Real settings, followed by more than a mebibyte of something else.
    const QByteArray huge = kSettings + QByteArray(1 << 20, '#');
    {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        ASSERT_EQ(out.write(huge), huge.size());
    }
    ExpectLeftAlone();
    EXPECT_EQ(Contents(file), huge);
}

// As after one run with sudo: the user's settings belong to root and only
// root may read them, while the folder is the user's.
TEST_F(UnreadableSettings, AFileTheUserCannotReadIsKept)
{
    if (getuid() != 0)
        GTEST_SKIP() << "needs root, to run the list as another user";
    {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        ASSERT_EQ(out.write(kSettings), kSettings.size());
    }
    ASSERT_EQ(chmod(QFile::encodeName(file).constData(), 0600), 0);
    ASSERT_EQ(chmod(QFile::encodeName(dir.path()).constData(), 0777), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0)
            _exit(3);
        RecentFileList list(QFile::encodeName(file));
        list.Load();
        const bool leftAlone = list.Paths().isEmpty() && !list.Add("/b");
        _exit(leftAlone ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(Contents(file), kSettings);
    EXPECT_EQ(QFileInfo(file).ownerId(), 0u);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList {"nivo.ini"});
}

// The program itself: started with a pipe for settings, it comes up at once
// with an empty list, and opening a document leaves the pipe in place.
TEST(UnreadableSettingsAtStart, ThePipeStaysAndTheProgramStarts)
{
    QTemporaryDir home;
    const QString folder = home.filePath(".config/Local AppWizard-Generated Applications");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QByteArray pipe = QFile::encodeName(folder + "/nivo.ini");
    ASSERT_EQ(mkfifo(pipe.constData(), 0600), 0);
    qputenv("XDG_CONFIG_HOME", home.filePath(".config").toUtf8());
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(App().InitInstance(CommandLine {}));
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_TRUE(App().RecentFiles().Paths().isEmpty());
    QFile document(home.filePath("doc"));
    ASSERT_TRUE(document.open(QIODevice::WriteOnly));
    document.close();
    EXPECT_TRUE(App().OpenDocumentFile(document.fileName()));
    qunsetenv("XDG_CONFIG_HOME");
    struct stat info {};
    ASSERT_EQ(lstat(pipe.constData(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
}
} // namespace
