#pragma once
// The application: settings, the one document, frame and view, and the
// commands that belong to the application rather than the view.
#include <QApplication>
#include <memory>

#include "RecentFileList.h"
#include "fractal/CNivoDoc.h"
#include "view/CommandTarget.h"

class CMainFrame;
class CNivoView;
class QPrinter;
class QTranslator;
struct CommandLine;

class CNivoApp : public QApplication, public CommandTarget {
public:
    CNivoApp(int& argc, char** argv);
    ~CNivoApp() override;

    // Builds the window from the process's command line; false when the
    // program must end at once (a print switch, a failure), with ExitStatus().
    bool InitInstance(const CommandLine& line);
    int ExitStatus() const { return m_exitStatus; }

    void OnAppAbout();
    void OnFileOpen();
    void OnFilePrintSetup();
    // Opens `path` as the document; shows why not when it cannot.
    bool OpenDocumentFile(const QString& path);
    bool OpenDocumentPath(const QByteArray& path);

    bool OnCmdMsg(int id, CommandState* state) override;

    CMainFrame* MainFrame() const { return m_frame.get(); }
    CNivoView* View() const { return m_view; }
    CNivoDoc* Document() const { return m_document.get(); }
    // The printer every print, preview and print setup of this window shares.
    QPrinter* Printer();
    const RecentFileList& RecentFiles() const { return m_recent; }

private:
    void LoadTranslations();
    void UseToolbarStyle();
    void PlaceRestoredWindow();
    bool PrintFromCommandLine(const CommandLine& line);
    void ReportOpenFailure(const QByteArray& path, CNivoDoc::OpenResult why);
    QByteArray DocumentOf(const CommandLine& line) const;

    std::unique_ptr<QTranslator> m_translator;
    std::unique_ptr<QPrinter> m_printer;
    std::unique_ptr<CNivoDoc> m_document;
    std::unique_ptr<CMainFrame> m_frame;
    CNivoView* m_view = nullptr;
    RecentFileList m_recent;
    char** m_argv;
    int m_exitStatus = 0;
    bool m_printingFromCommandLine = false;
};
