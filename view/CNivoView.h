#pragma once
// The one view: navigation state, history, the frame image, and the
// commands that move through the plane.
#include <QScrollArea>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "CommandState.h"
#include "CommandTarget.h"
#include "ViewHistory.h"
#include "platform/WinTypes.h"
#include "platform/qt/VacatedAreas.h"
#include "render/FrameRenderer.h"

class CDibImage;
class QPrinter;
class QtWindow;
class ViewCanvas;

class CNivoView : public QScrollArea, public CommandTarget {
public:
    explicit CNivoView(QWidget* parent = nullptr);
    ~CNivoView() override;

    void Render();
    void OnDraw(HDC dc);

    void UndoView();
    void UpdateUndoCommand(CommandState& state) const;

    void ZoomAtPoint(UINT flags, int px, int py);
    void ShowPlaneCoordinates(UINT flags, int px, int py);
    void ResizeView(UINT type, int width, int height);
    void EditParameters();
    void IgnoreSave() {}

    void ExportImageAs();
    void ExportImage();
    void UpdateExportImage(CommandState& state) const;
    void ExportVideo();

    // Printing goes through OnDraw, one printer dot per picture pixel, one page.
    // The printer is asked for only when one is used: making it is slow.
    using PrinterSource = std::function<QPrinter*()>;
    void SetPrinter(PrinterSource source) { m_printer = std::move(source); }
    bool OnPreparePrinting(QPrinter& printer);
    void OnBeginPrinting() {}
    void OnEndPrinting() {}
    // Into the printer's output file, when it has one, through a staged save.
    bool PrintPage(QPrinter& printer);
    // Onto whatever the printer draws on (a preview draws on no file).
    bool PaintPage(QPrinter& printer);
    void FilePrint();
    bool FilePrintDirect();
    void FilePrintPreview();
    void OnInitialUpdate();

    bool OnCmdMsg(int id, CommandState* state) override;

    HWND WindowHandle() const;
    QtWindow& Window() const { return *m_window; }
    // The window whose client area the picture fills: the view's own unless
    // another is given (tests give stand-ins of sizes no screen has).
    void SetMeasuredWindow(HWND window) { m_measuredWindow = window; }
    // Shows the view on its own with a client area of exactly width x height
    // and no scroll bars, as a headless render or a test wants it; false when
    // the platform cannot make it that size.
    // `onScreen` false lays it out at that size and hides it before anything is painted.
    bool ShowWithClientSize(int width, int height, bool onScreen = true);

    FrameRenderer m_renderer;
    CDibImage* m_image = nullptr;
    ViewHistory m_history;
    std::string m_lastExportPath;
    std::int32_t m_iterations = 50;
    double m_centerX = -0.5;
    double m_centerY = 0.0;
    double m_zoom = 1.0;
    double m_clickZoom = 10.0;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void DiscardImage();
    HWND MeasuredWindow() const;
    RECT ClientArea() const;

    ViewCanvas* m_canvas;
    std::unique_ptr<QtWindow> m_window;
    HWND m_measuredWindow = nullptr;
    PrinterSource m_printer;
    VacatedAreas m_vacated;
    bool m_rendering = false;
    bool m_renderAgain = false;
    bool m_exportingVideo = false;
    // Why the last print to a file kept the old file (an errno value), or 0.
    int m_printFileError = 0;
};
