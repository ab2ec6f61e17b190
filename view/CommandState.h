#pragma once
// What an enable rule decides for one menu item, button or accelerator.
struct CommandState {
    bool enabled = true;
    bool checked = false;

    void Enable(bool on) { enabled = on; }
    void SetCheck(bool on) { checked = on; }
};
