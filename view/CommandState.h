#pragma once
// What an enable rule decides for one menu item, button or accelerator.
struct CommandState {
    bool enabled = true;
    bool checked = false;
    bool checkable = false;

    void Enable(bool on) { enabled = on; }
    void SetCheck(bool on)
    {
        checkable = true;
        checked = on;
    }
};
