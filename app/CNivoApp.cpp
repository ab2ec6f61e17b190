#include "CNivoApp.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLibraryInfo>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScreen>
#include <QTranslator>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "dialogs/CAboutDlg.h"
#include "CMainFrame.h"
#include "view/CommandIds.h"
#include "dialogs/CompressionDialog.h"
#include "dialogs/ModalFrame.h"
#include "dialogs/PrintSetupDialog.h"
#include "cli/CommandLine.h"
#include "dialogs/ProgressWindow.h"
#include "platform/qt/WindowManager.h"
#include "ToolbarImages.h"
#include "ToolbarStyle.h"
#include "fractal/CNivoDoc.h"
#include "view/CNivoView.h"

namespace {
// Where Qt keeps a user's settings in its INI format, named without
// QSettings, which reads the file on construction and would block on a pipe,
// and from the environment's bytes, which need not be text.
QByteArray SettingsFile()
{
    const QByteArray config = qgetenv("XDG_CONFIG_HOME");
    const QByteArray home = qEnvironmentVariableIsEmpty("HOME") ? QFile::encodeName(QDir::homePath()) : qgetenv("HOME");
    const QByteArray folder = config.startsWith('/') ? config : home + "/.config";
    return folder + "/Local AppWizard-Generated Applications/nivo.ini";
}

// A relative name is taken from the current folder, and "." and ".." are
// resolved by the name alone, as Qt's absolute paths are; the bytes are kept.
QByteArray AbsolutePath(const QByteArray& path)
{
    QByteArray joined = path;
    if (!path.startsWith('/')) {
        char* here = ::getcwd(nullptr, 0);
        joined = QByteArray(here ? here : "") + '/' + path;
        std::free(here);
    }
    QList<QByteArray> kept;
    for (const QByteArray& part : joined.split('/')) {
        if (part == ".." && !kept.isEmpty())
            kept.removeLast();
        else if (!part.isEmpty() && part != "." && part != "..")
            kept << part;
    }
    return '/' + kept.join('/');
}
} // namespace

CNivoApp::CNivoApp(int& argc, char** argv) : QApplication(argc, argv), m_recent(QByteArray()), m_argv(argv)
{
    // Qt adopts the environment's locale; numbers are always read and written with a point.
    std::setlocale(LC_NUMERIC, "C");
    setOrganizationName("Local AppWizard-Generated Applications");
    setApplicationName("nivo");
    // The launcher's name: Wayland's app_id, and what desktops tie the window to.
    setDesktopFileName(QStringLiteral("fr.lumivex.Nivo"));
    setApplicationVersion(NIVO_VERSION);
    LoadTranslations();
}

CNivoApp::~CNivoApp()
{
    m_frame.reset();
    m_document.reset();
}

void CNivoApp::LoadTranslations()
{
    m_translator = std::make_unique<QTranslator>();
    if (m_translator->load("qtbase_fr", QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        installTranslator(m_translator.get());
}

bool CNivoApp::InitInstance(const CommandLine& line)
{
    m_exitStatus = 0;
    m_recent = RecentFileList(SettingsFile());
    m_recent.Load();
    setWindowIcon(ApplicationIcon());
    UseToolbarStyle();
    m_frame.reset();
    m_printer.reset();
    m_document = std::make_unique<CNivoDoc>();
    m_frame = std::make_unique<CMainFrame>();
    if (m_frame->OnCreate() != 0) {
        m_exitStatus = 1;
        return false;
    }
    m_view = new CNivoView(m_frame.get());
    m_view->SetPrinter([this] { return Printer(); });
    m_frame->setCentralWidget(m_view);
    m_frame->SetRoute(m_view, this);
    m_frame->SetRecentFiles(m_recent.Paths());
    ProgressWindow::RegisterTemplate(m_view->viewport());
    CompressionDialog::Register(m_frame.get());
    m_document->OnNewDocument();
    m_view->OnInitialUpdate();

    if (line.mode == CommandLine::Mode::Print)
        return PrintFromCommandLine(line);
    // A file that cannot be opened ends the program once the user has been told.
    if (!line.file.isEmpty() && !OpenDocumentPath(DocumentOf(line))) {
        m_exitStatus = 1;
        return false;
    }

    m_frame->setWindowTitle("Nivo - Lumivex");
    m_frame->setWindowIcon(ApplicationIcon());
    PlaceRestoredWindow();
    m_frame->showMaximized();
    // Nobody else acts on the request: the window takes the free part of the screen itself.
    if (!WindowManagerRuns())
        m_frame->setGeometry(m_frame->screen()->availableGeometry());
    m_frame->repaint();
    return true;
}

// Before the first tool bar, which would otherwise load every image plugin.
void CNivoApp::UseToolbarStyle()
{
    if (!dynamic_cast<ToolbarStyle*>(style()))
        setStyle(new ToolbarStyle(style()->name()));
}

// Made on first use: a printer loads the print system (CUPS, GnuTLS,
// Kerberos), which a window that never prints does not need.
QPrinter* CNivoApp::Printer()
{
    // A print that found no memory even to end its page leaves its printer
    // painted for good: the next use gets a new one.
    if (m_printer && m_printer->paintingActive())
        m_printer.reset();
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return m_printer.get();
}

// Where the window goes when the user leaves the maximised state: three
// quarters of the free part of the screen, centred, title bar in view.
void CNivoApp::PlaceRestoredWindow()
{
    const QRect available = m_frame->screen()->availableGeometry();
    QRect restored(QPoint(0, 0), available.size() * 3 / 4);
    restored.moveCenter(available.center());
    m_frame->setGeometry(restored);
}

bool CNivoApp::PrintFromCommandLine(const CommandLine& line)
{
    m_printingFromCommandLine = true;
    if (!OpenDocumentPath(DocumentOf(line))) {
        m_exitStatus = 1;
        return false;
    }
    if (!line.printer.isEmpty()) {
        if (QPrinterInfo::printerInfo(line.printer).isNull()) {
            std::fprintf(stderr, "nivo: aucune imprimante ne s'appelle « %s »\n", line.printer.toUtf8().constData());
            m_exitStatus = 1;
            return false;
        }
        Printer()->setPrinterName(line.printer);
    }
    if (!m_view->FilePrintDirect()) {
        std::fprintf(stderr, "nivo: rien n'a été imprimé : aucune imprimante n'est disponible\n");
        m_exitStatus = 1;
    }
    return false;
}

void CNivoApp::OnAppAbout()
{
    CAboutDlg about(m_frame.get());
    about.DoModal();
}

void CNivoApp::OnFileOpen()
{
    QFileDialog dialog(m_frame.get(), QString::fromUtf8("Ouvrir"));
    dialog.setObjectName("OpenDialog");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(QStringLiteral("Tous les fichiers (*)"));
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        OpenDocumentFile(dialog.selectedFiles().first());
}

// The document named on the command line: the argument's own bytes.
QByteArray CNivoApp::DocumentOf(const CommandLine& line) const
{
    if (line.fileArgument >= 0 && m_argv)
        return m_argv[1 + line.fileArgument];
    return QFile::encodeName(line.file);
}

bool CNivoApp::OpenDocumentFile(const QString& path) { return OpenDocumentPath(QFile::encodeName(path)); }

bool CNivoApp::OpenDocumentPath(const QByteArray& path)
{
    const QByteArray absolute = AbsolutePath(path);
    // The document already open: only bring the window forward.
    if (!m_document->m_strPathName.empty() && QByteArray::fromStdString(m_document->m_strPathName) == absolute) {
        m_frame->raise();
        m_frame->activateWindow();
        return true;
    }
    const auto result = m_document->OnOpenDocument(absolute.toStdString());
    if (result != CNivoDoc::OpenResult::Opened) {
        ReportOpenFailure(absolute, result);
        // A recent entry that cannot be opened is dropped once the user has been told.
        if (m_recent.Entries().contains(absolute)) {
            m_recent.Remove(absolute);
            m_frame->SetRecentFiles(m_recent.Paths());
        }
        return false;
    }
    m_document->SetPathName(absolute.toStdString());
    m_recent.Add(absolute);
    m_frame->SetRecentFiles(m_recent.Paths());
    m_view->OnInitialUpdate();
    m_frame->setWindowTitle(QFile::decodeName(QByteArray::fromStdString(m_document->m_strTitle)) + QStringLiteral(" - nivo"));
    return true;
}

void CNivoApp::ReportOpenFailure(const QByteArray& path, CNivoDoc::OpenResult why)
{
    const QString name = QFile::decodeName(path.mid(path.lastIndexOf('/') + 1));
    QString text;
    if (why == CNivoDoc::OpenResult::Missing)
        text = QString::fromUtf8("Impossible d'ouvrir le document « %1 » : le fichier est introuvable.").arg(name);
    else if (why == CNivoDoc::OpenResult::NotRegularFile)
        text = QString::fromUtf8("Impossible d'ouvrir « %1 » : ce n'est pas un fichier ordinaire.").arg(name);
    else if (why == CNivoDoc::OpenResult::Socket)
        text = QString::fromUtf8("Impossible d'ouvrir « %1 » : c'est une socket, pas un fichier ordinaire.").arg(name);
    else if (why == CNivoDoc::OpenResult::LinkLoop)
        text = QString::fromUtf8("Impossible d'ouvrir « %1 » : boucle de liens symboliques.").arg(name);
    else
        text = QString::fromUtf8("Impossible d'ouvrir le document « %1 » : accès refusé.").arg(name);
    // Before the window is shown, the message stands alone in the middle of the screen.
    if (!m_printingFromCommandLine)
        ModalFrame::Warn(m_frame->isVisible() ? m_frame.get() : nullptr, QStringLiteral("nivo"), text);
    else
        std::fprintf(stderr, "nivo: %s\n", text.toUtf8().constData());
}

void CNivoApp::OnFilePrintSetup()
{
    PrintSetupDialog dialog(*Printer(), m_frame.get());
    dialog.DoModal();
}

bool CNivoApp::OnCmdMsg(int id, CommandState* state)
{
    if (id >= ID_FILE_MRU_FILE1 && id <= ID_FILE_MRU_FILE4) {
        const int index = id - ID_FILE_MRU_FILE1;
        if (index >= m_recent.Entries().size())
            return false;
        if (!state)
            OpenDocumentPath(m_recent.Entries()[index]);
        return true;
    }
    switch (id) {
    case ID_APP_ABOUT:
        if (!state)
            OnAppAbout();
        return true;
    case ID_FILE_NEW:
        // Reached only while the application starts; the view draws instead.
        if (!state)
            m_document->OnNewDocument();
        return true;
    case ID_FILE_OPEN:
        if (!state)
            OnFileOpen();
        return true;
    case ID_FILE_PRINT_SETUP:
        if (!state)
            OnFilePrintSetup();
        return true;
    case ID_APP_EXIT:
        if (!state)
            m_frame->close();
        return true;
    }
    return false;
}
