#pragma once
#include <QDialog>

// The about box.
class CAboutDlg : public QDialog {
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    int DoModal();
};
