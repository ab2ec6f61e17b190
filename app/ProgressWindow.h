#pragma once
// The window of dialog template 131: a captionless popup with a thin border
// and one smooth bar. It repaints itself on each new position, since the
// render that drives it handles no events meanwhile.
#include <QDialog>

#include "platform/WindowObject.h"

class QProgressBar;

class ProgressWindow : public QDialog, public WindowObject {
public:
    explicit ProgressWindow(QWidget* parent);

    // Registers template 131 so that every CProgressDlg gets one of these.
    static void RegisterTemplate(QWidget* mainWindow);

    RECT ClientRect() const override;
    WindowObject* Child(int id) override;
    void Show(int command) override;
    void CentreOverParent() override;
    void Destroy() override;

private:
    class Bar;
    Bar* m_bar;
};
