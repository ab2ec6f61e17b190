#pragma once
#include <QDialog>

// The about box.
class CAboutDlg : public QDialog {
public:
    static constexpr int IDD = 100;
    explicit CAboutDlg(QWidget* parent = nullptr);
    int DoModal();
};
