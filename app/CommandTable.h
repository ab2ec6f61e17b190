#pragma once
// Every command the window offers, in one place: menu text, accelerators,
// toolbar slot, and the string that gives its prompt and tooltip. Menus,
// toolbar, accelerators and prompts are all built from this table.
#include <QKeySequence>
#include <QList>
#include <QString>
#include <vector>

struct CommandInfo {
    int id;
    const char* name;
    const char* menuText;   // with "\t" before the accelerator text; null when not in a menu
    const char* string;     // "prompt\ntooltip", either part may be missing; null for none
    QList<QKeySequence> accelerators;
    int toolbarButton;      // 1 to 5, 0 for none

    QString Prompt() const;
    QString Tooltip() const;
};

// A menu entry: a command id, or 0 for a separator.
struct MenuEntry {
    int id;
};

struct MenuInfo {
    const char* title;
    std::vector<MenuEntry> entries;
};

class CommandTable {
public:
    static const std::vector<CommandInfo>& Commands();
    static const CommandInfo* Find(int id);
    static const std::vector<MenuInfo>& Menus();
    // Toolbar items in order; 0 is a separator.
    static const std::vector<int>& ToolbarItems();
    static QString String(int id);
};
