#pragma once
// Print preview as a mode of the main window: it takes the view's place and
// gives it back when closed.
#include <QWidget>

class QMainWindow;
class QPrinter;
class QPrintPreviewWidget;
class CNivoView;

class PrintPreview : public QWidget {
public:
    // Replaces the view in `frame` until the preview is closed.
    static PrintPreview* Open(QMainWindow& frame, CNivoView& view, QPrinter& printer);
    void Close();

private:
    PrintPreview(QMainWindow& frame, CNivoView& view, QPrinter& printer);

    QMainWindow& m_frame;
    CNivoView& m_view;
    QPrintPreviewWidget* m_pages;
};
