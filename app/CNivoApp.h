#pragma once
// The application: settings, the one document, frame and view, and the
// commands that belong to the application rather than the view.
#include <QApplication>
#include <memory>

#include "view/CommandTarget.h"

class CMainFrame;
class CNivoDoc;
class CNivoView;
class QTranslator;

class CNivoApp : public QApplication, public CommandTarget {
public:
    CNivoApp(int& argc, char** argv);
    ~CNivoApp() override;

    // Builds the window; false when the program must end at once.
    bool InitInstance();
    void OnAppAbout();

    bool OnCmdMsg(int id, CommandState* state) override;

    CMainFrame* MainFrame() const { return m_frame.get(); }
    CNivoView* View() const { return m_view; }

private:
    void LoadTranslations();

    std::unique_ptr<QTranslator> m_translator;
    std::unique_ptr<CNivoDoc> m_document;
    std::unique_ptr<CMainFrame> m_frame;
    CNivoView* m_view = nullptr;
};
