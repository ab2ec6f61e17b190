#include "CNivoApp.h"

#include <QLibraryInfo>
#include <QScreen>
#include <QSettings>
#include <QTranslator>
#include <clocale>

#include "CAboutDlg.h"
#include "CMainFrame.h"
#include "CommandIds.h"
#include "ProgressWindow.h"
#include "ToolbarImages.h"
#include "fractal/CNivoDoc.h"
#include "view/CNivoView.h"

CNivoApp::CNivoApp(int& argc, char** argv) : QApplication(argc, argv)
{
    // Qt adopts the environment's locale; numbers are always read and written with a point.
    std::setlocale(LC_NUMERIC, "C");
    setOrganizationName("Local AppWizard-Generated Applications");
    setApplicationName("nivo");
    setApplicationDisplayName("nivo");
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

bool CNivoApp::InitInstance()
{
    setWindowIcon(ApplicationIcon());
    m_frame.reset();
    m_document = std::make_unique<CNivoDoc>();
    m_frame = std::make_unique<CMainFrame>();
    if (m_frame->OnCreate() != 0)
        return false;
    m_view = new CNivoView(m_frame.get());
    m_frame->setCentralWidget(m_view);
    m_frame->SetRoute(m_view, this);
    ProgressWindow::RegisterTemplate(m_frame.get());

    m_frame->setWindowTitle("Nivo - Lumivex");
    m_frame->setWindowIcon(ApplicationIcon());
    // Without a window manager "maximised" means nothing; fill the screen ourselves.
    m_frame->setGeometry(m_frame->screen()->availableGeometry());
    m_frame->showMaximized();
    m_frame->repaint();
    return true;
}

void CNivoApp::OnAppAbout()
{
    CAboutDlg about(m_frame.get());
    about.DoModal();
}

bool CNivoApp::OnCmdMsg(int id, CommandState* state)
{
    switch (id) {
    case ID_APP_ABOUT:
        if (!state)
            OnAppAbout();
        return true;
    case ID_APP_EXIT:
        if (!state)
            m_frame->close();
        return true;
    }
    return false;
}
