#include "CMainFrame.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenuBar>
#include <QProxyStyle>
#include <QShortcut>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QToolBar>

#include "view/CommandIds.h"
#include "CommandTable.h"
#include "ToolbarImages.h"

CMainFrame::CMainFrame() { setObjectName("CMainFrame"); }

int CMainFrame::OnCreate()
{
    for (const CommandInfo& command : CommandTable::Commands())
        CreateAction(command.id);
    if (!CreateToolBar() || !CreateStatusBar())
        return -1;
    CreateMenus();
    // Enable rules are asked again before any accelerator can fire.
    qApp->installEventFilter(this);
    return 0;
}

void CMainFrame::SetRoute(CommandTarget* view, CommandTarget* application)
{
    m_view = view;
    m_application = application;
    UpdateCommands();
}

std::vector<CommandTarget*> CMainFrame::Route() const
{
    std::vector<CommandTarget*> route;
    for (CommandTarget* target : {m_view, static_cast<CommandTarget*>(const_cast<CMainFrame*>(this)), m_application})
        if (target)
            route.push_back(target);
    return route;
}

QAction* CMainFrame::CreateAction(int id)
{
    const CommandInfo* info = CommandTable::Find(id);
    auto* action = new QAction(this);
    action->setObjectName(info->name);
    if (info->menuText)
        action->setText(QString::fromUtf8(info->menuText));
    action->setStatusTip(info->Prompt());
    action->setToolTip(info->Tooltip());
    action->setShortcuts(info->accelerators);
    action->setShortcutContext(Qt::WindowShortcut);
    // Menus show text only; the images belong to the toolbar.
    action->setIconVisibleInMenu(false);
    if (id == ID_VIEW_TOOLBAR || id == ID_VIEW_STATUS_BAR)
        action->setCheckable(true);
    addAction(action);
    connect(action, &QAction::triggered, this, [this, id] { RunCommand(id); });
    m_actions[id] = action;
    return action;
}

bool CMainFrame::CreateToolBar()
{
    m_wndToolBar = new QToolBar(this);
    m_wndToolBar->setObjectName("ID_VIEW_TOOLBAR");
    m_wndToolBar->setMovable(true);
    m_wndToolBar->setFloatable(true);
    m_wndToolBar->setAllowedAreas(Qt::AllToolBarAreas);
    m_wndToolBar->setIconSize(QSize(16, 15));
    m_wndToolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    for (int id : CommandTable::ToolbarItems()) {
        if (id == 0) {
            m_wndToolBar->addSeparator();
            continue;
        }
        QAction* action = Action(id);
        action->setIcon(QIcon(QPixmap::fromImage(ToolbarImage(CommandTable::Find(id)->toolbarButton))));
        m_wndToolBar->addAction(action);
    }
    setDockOptions(dockOptions() | QMainWindow::AllowNestedDocks);
    addToolBar(Qt::TopToolBarArea, m_wndToolBar);
    return true;
}

bool CMainFrame::CreateStatusBar()
{
    m_wndStatusBar = new QStatusBar(this);
    m_wndStatusBar->setObjectName("ID_VIEW_STATUS_BAR");
    const char* names[3] = {"ID_SEPARATOR", "ID_INDICATOR_X", "ID_INDICATOR_Y"};
    const int ids[3] = {57345, ID_INDICATOR_X, ID_INDICATOR_Y};
    for (int i = 0; i < 3; ++i) {
        const QString text = CommandTable::String(ids[i]);
        if (text.isEmpty())
            return false;
        m_panes[i] = new QLabel(text, m_wndStatusBar);
        m_panes[i]->setObjectName(names[i]);
    }
    m_panes[0]->setFrameShape(QFrame::NoFrame);
    // A prompt longer than the pane is cut, never widens the window.
    m_panes[0]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_wndStatusBar->addWidget(m_panes[0], 1);
    for (int i = 1; i < 3; ++i) {
        m_panes[i]->setFrameShape(QFrame::Panel);
        m_panes[i]->setFrameShadow(QFrame::Sunken);
        m_wndStatusBar->addPermanentWidget(m_panes[i]);
    }
    setStatusBar(m_wndStatusBar);
    return true;
}

namespace {
// Greyed items are highlighted like the others, by the mouse and the keyboard,
// so that their prompts can be shown.
class MenuStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* answer) const override
    {
        if (hint == SH_Menu_AllowActiveAndDisabled)
            return 1;
        return QProxyStyle::styleHint(hint, option, widget, answer);
    }
};
} // namespace

void CMainFrame::CreateMenus()
{
    auto* style = new MenuStyle;
    style->setParent(this);
    for (const MenuInfo& info : CommandTable::Menus()) {
        QMenu* menu = menuBar()->addMenu(QString::fromUtf8(info.title));
        for (const MenuEntry& entry : info.entries) {
            if (entry.id == 0)
                menu->addSeparator();
            else
                menu->addAction(Action(entry.id));
        }
        menu->setStyle(style);
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommands);
        m_menus.push_back(menu);
    }
    connect(new QShortcut(Qt::Key_F10, this), &QShortcut::activated, this, &CMainFrame::OpenMenuBar);
}

void CMainFrame::OpenMenuBar()
{
    // F10 drops the first menu; the arrow keys then move through the bar.
    if (!menuBar()->actions().isEmpty())
        menuBar()->setActiveAction(menuBar()->actions().first());
}

QAction* CMainFrame::Action(int id) const
{
    auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

QMenu* CMainFrame::Menu(int index) const { return index < int(m_menus.size()) ? m_menus[index] : nullptr; }

QLabel* CMainFrame::Pane(int index) const { return m_panes[index]; }

CommandState CMainFrame::QueryCommand(int id) const
{
    for (CommandTarget* target : Route()) {
        CommandState state;
        if (target->OnCmdMsg(id, &state))
            return state;
    }
    // Nobody handles it: greyed.
    CommandState none;
    none.Enable(false);
    return none;
}

bool CMainFrame::RunCommand(int id)
{
    if (!QueryCommand(id).enabled) {
        UpdateCommands();
        return false;
    }
    for (CommandTarget* target : Route())
        if (target->OnCmdMsg(id, nullptr)) {
            UpdateCommands();
            return true;
        }
    return false;
}

void CMainFrame::UpdateCommands()
{
    for (auto& [id, action] : m_actions) {
        const CommandState state = QueryCommand(id);
        action->setEnabled(state.enabled);
        if (action->isCheckable())
            action->setChecked(state.checked);
    }
}

bool CMainFrame::OnCmdMsg(int id, CommandState* state)
{
    QWidget* bar = id == ID_VIEW_TOOLBAR ? static_cast<QWidget*>(m_wndToolBar)
                   : id == ID_VIEW_STATUS_BAR ? static_cast<QWidget*>(m_wndStatusBar)
                                              : nullptr;
    if (!bar)
        return false;
    if (state)
        state->SetCheck(bar->isVisible() || (!isVisible() && !bar->isHidden()));
    else
        bar->setVisible(bar->isHidden());
    return true;
}

QString CMainFrame::RecentFileText(int index, const QString& path)
{
    // Long paths are shortened in the middle, as the list usually shows them.
    const QString shown = path.size() > 60 ? path.left(20) + QStringLiteral("...") + path.right(37) : path;
    return QStringLiteral("&%1 %2").arg(index + 1).arg(QString(shown).replace('&', QStringLiteral("&&")));
}

void CMainFrame::SetRecentFiles(const QStringList& paths)
{
    QMenu* file = Menu(0);
    QAction* placeholder = Action(ID_FILE_MRU_FILE1);
    for (int i = 1; i < 4; ++i)
        file->removeAction(Action(ID_FILE_MRU_FILE1 + i));
    if (paths.isEmpty()) {
        placeholder->setText(QString::fromUtf8("Fichier récent"));
        return;
    }
    QAction* before = placeholder;
    for (int i = 0; i < 4; ++i) {
        QAction* entry = Action(ID_FILE_MRU_FILE1 + i);
        if (i >= paths.size())
            break;
        entry->setText(RecentFileText(i, paths[i]));
        entry->setData(paths[i]);
        if (i > 0) {
            const QList<QAction*> actions = file->actions();
            const int at = actions.indexOf(before);
            file->insertAction(at + 1 < actions.size() ? actions[at + 1] : nullptr, entry);
        }
        before = entry;
    }
    UpdateCommands();
}

void CMainFrame::ShowPrompt(const QString& prompt) { m_panes[0]->setText(prompt); }

bool CMainFrame::event(QEvent* event)
{
    if (event->type() == QEvent::StatusTip) {
        const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
        // An item without a prompt leaves the pane empty while it is highlighted.
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        const bool onItem = menu && menu->activeAction() && !menu->activeAction()->isSeparator();
        ShowPrompt(!tip.isEmpty() || onItem ? tip : CommandTable::String(57345));
        return true;
    }
    return QMainWindow::event(event);
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event)
{
    // Enable states are asked afresh after input, as an idle update would.
    switch (event->type()) {
    case QEvent::ShortcutOverride:
    case QEvent::MouseButtonRelease:
    case QEvent::KeyRelease:
        UpdateCommands();
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}
