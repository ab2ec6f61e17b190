#pragma once
// The box of dialog template 131: captionless, a thin border and one smooth
// bar, drawn inside the main window over the picture. A render handles no
// events while it runs, so the box paints itself at once when shown and as
// its bar moves, at most once a frame; being a child widget it needs neither
// the window manager nor the event loop to appear, and it never takes the
// focus.
#include <QFrame>

#include "platform/WindowObject.h"

class ProgressWindow : public QFrame, public WindowObject {
public:
    // `host` is the widget the box is drawn in; it is centred over host's window.
    explicit ProgressWindow(QWidget* host);

    // Registers template 131 so that every CProgressDlg gets one of these in `host`.
    static void RegisterTemplate(QWidget* host);

    RECT ClientRect() const override;
    WindowObject* Child(int id) override;
    void Show(int command) override;
    void CentreOverParent() override;
    void Destroy() override;

private:
    class Bar;
    Bar* m_bar;
};
