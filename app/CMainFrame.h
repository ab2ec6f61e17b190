#pragma once
// The main window: menu bar, toolbar, three-pane status bar and the view.
// Commands from menus, accelerators and the toolbar are routed from here.
#include <QMainWindow>
#include <map>
#include <vector>

#include "view/CommandTarget.h"

class QAction;
class QLabel;
class QMenu;
class QStatusBar;
class QToolBar;

class CMainFrame : public QMainWindow, public CommandTarget {
public:
    CMainFrame();

    // Builds toolbar, status bar and menus; 0 on success, -1 otherwise.
    int OnCreate();
    // Commands go to these targets in order after the frame has been tried
    // last-but-one: view first, application last.
    void SetRoute(CommandTarget* view, CommandTarget* application);

    // Runs a command through the route unless its enable rule greys it.
    bool RunCommand(int id);
    CommandState QueryCommand(int id) const;
    void UpdateCommands();
    QAction* Action(int id) const;
    QMenu* Menu(int index) const;
    QToolBar* ToolBar() const { return m_wndToolBar; }
    QLabel* Pane(int index) const;
    void ShowPrompt(const QString& prompt);
    // Shows these paths in place of the "Fichier récent" placeholder.
    void SetRecentFiles(const QStringList& paths);

    bool OnCmdMsg(int id, CommandState* state) override;

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool CreateToolBar();
    bool CreateStatusBar();
    void CreateMenus();
    void OpenMenuBar();
    QAction* CreateAction(int id);
    static QString RecentFileText(int index, const QString& path);
    std::vector<CommandTarget*> Route() const;

    QStatusBar* m_wndStatusBar = nullptr;
    QToolBar* m_wndToolBar = nullptr;
    QLabel* m_panes[3] = {};
    std::vector<QMenu*> m_menus;
    std::map<int, QAction*> m_actions;
    CommandTarget* m_view = nullptr;
    CommandTarget* m_application = nullptr;
};
