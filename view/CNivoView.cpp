#include "CNivoView.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMainWindow>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QResizeEvent>
#include <QStatusBar>
#include <QLabel>

#include "CDibImage.h"
#include "CoordinateText.h"
#include "PixelColour.h"
#include "PrintPreview.h"
#include "ViewCanvas.h"
#include "platform/qt/PainterDC.h"
#include "app/CParamDlg.h"
#include "app/ExportImageDialog.h"
#include "app/ModalFrame.h"
#include "app/CommandIds.h"
#include "app/CProgressDlg.h"
#include "export/AviWriter.h"
#include "fractal/PlaneGeometry.h"
#include "platform/Gdi32.h"
#include "platform/User32.h"
#include "platform/qt/QtWindow.h"

namespace {
constexpr int kScrollSize = 100;
constexpr int IDOK = 1;

// Panes are 100 pixels wide, or as wide as a typical coordinate when the
// desktop font needs more, so that the text is never cut.
void SetPane(QLabel* pane, const std::string& text)
{
    if (!pane)
        return;
    const int typical = pane->fontMetrics().horizontalAdvance(QStringLiteral("y: -0.0000000000")) + 8;
    pane->setFixedWidth(std::max(100, typical));
    pane->setText(QString::fromStdString(text));
}

WPARAM ColourProgress(std::int64_t i, std::int64_t total)
{
    return static_cast<WPARAM>(50 - static_cast<std::int32_t>((i * -50.0) / static_cast<double>(total)));
}
} // namespace

CNivoView::CNivoView(QWidget* parent)
    : QScrollArea(parent), m_calculator(nullptr), m_canvas(new ViewCanvas(*this)),
      m_window(std::make_unique<QtWindow>(m_canvas, viewport()))
{
    setObjectName("CNivoView");
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    m_canvas->setMinimumSize(kScrollSize, kScrollSize);
    setWidget(m_canvas);
    m_history.Append({m_iterations, m_centerX, m_centerY, m_zoom});
}

CNivoView::~CNivoView()
{
    delete m_image;
    m_image = nullptr;
}

HWND CNivoView::WindowHandle() const { return m_window.get(); }

HWND CNivoView::MeasuredWindow() const { return m_measuredWindow ? m_measuredWindow : WindowHandle(); }

RECT CNivoView::ClientArea() const
{
    RECT client;
    GetClientRect(MeasuredWindow(), &client);
    return client;
}

bool CNivoView::ShowWithClientSize(int width, int height, bool onScreen)
{
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    resize(width, height);
    show();
    if (!onScreen)
        hide();
    QApplication::processEvents();
    return viewport()->width() == width && viewport()->height() == height;
}

void CNivoView::Render()
{
    // Nothing runs inside a render; should anything ask for one meanwhile,
    // it is made once this one is over.
    if (m_rendering) {
        m_renderAgain = true;
        return;
    }
    m_rendering = true;
    m_calculator.SetWindow(MeasuredWindow());
    m_calculator.Compute(m_iterations, m_centerX, -m_centerY, m_zoom);

    const RECT client = ClientArea();
    const std::int32_t W = client.right - client.left;
    const std::int32_t H = client.bottom - client.top;

    delete m_image;
    m_image = new CDibImage;
    m_image->CreateDib(W, H);

    {
        CProgressDlg progress;
        progress.Start(50);
        // The buffer was measured on the same window; never read past what it holds.
        if (m_calculator.m_buffer && W > 0 && H > 0 && std::int64_t(W) * H <= m_calculator.BufferSize())
            ColourImage(progress.m_progress, W, H);
        progress.DestroyWindow();

        HDC dc = GetDC(WindowHandle());
        OnDraw(dc);
        ReleaseDC(WindowHandle(), dc);
    }
    m_rendering = false;
    // A size change that arrived while the picture was made is honoured now.
    if (m_renderAgain) {
        m_renderAgain = false;
        DiscardImage();
        Render();
    }
}

// Pixel i is column i / H, row i mod H, and the bar moves every W pixels,
// once that pixel is set. The first pixel takes and gives back the image's
// device context; that leaves the cache and the context as every later
// take-and-give-back would, so the others go straight into the section.
void CNivoView::ColourImage(HWND bar, std::int32_t W, std::int32_t H)
{
    const std::int64_t total = std::int64_t(W) * H;
    m_colours.Prepare(m_iterations);
    HDC dc = m_image->GetImageDC();
    SetPixel(dc, 0, 0, m_colours.Colour(m_calculator.m_buffer[0]));
    m_image->ReleaseImageDC();
    SendMessageA(bar, PBM_SETPOS, ColourProgress(0, total), 0);
    std::int64_t mark = W;
    const auto moveBar = [&](std::int64_t written) {
        for (; mark < total && mark < written; mark += W)
            SendMessageA(bar, PBM_SETPOS, ColourProgress(mark, total), 0);
    };
    // An image whose section could not be made takes no pixel.
    if (m_image->m_topRow)
        m_colourer.Colour(*m_image, m_calculator.m_buffer, W, H, m_colours, moveBar);
    moveBar(total);
}

void CNivoView::OnDraw(HDC dc)
{
    if (!m_image)
        return;
    m_image->Blit(dc, 0, 0, m_image->m_width, m_image->m_height, 0, 0, SRCCOPY);
}

void CNivoView::UndoView()
{
    if (m_history.Count() <= 1)
        return;
    m_history.RemoveLast();
    const ViewRecord& last = m_history.Last();
    m_iterations = last.iterations;
    m_centerX = last.centerX;
    m_centerY = last.centerY;
    m_zoom = last.zoom;
    Render();
}

void CNivoView::UpdateUndoCommand(CommandState& state) const { state.Enable(m_history.Count() != 1); }

void CNivoView::DiscardImage()
{
    delete m_image;
    m_image = nullptr;
}

void CNivoView::ZoomAtPoint(UINT, int px, int py)
{
    const RECT client = ClientArea();
    const PlanePoint centre =
        PlaneGeometry::RecentreOnClick(m_centerX, m_centerY, m_zoom, client.right - client.left,
                                       client.bottom - client.top, px, py);
    m_zoom = m_clickZoom * m_zoom;
    m_centerX = centre.x;
    m_centerY = centre.y;
    m_history.Append({m_iterations, centre.x, centre.y, m_zoom});
    DiscardImage();
    Render();
}

void CNivoView::ShowPlaneCoordinates(UINT, int px, int py)
{
    const RECT client = ClientArea();
    const PlanePoint p = PlaneGeometry::PointerToPlane(m_centerX, m_centerY, m_zoom, client.right - client.left,
                                                       client.bottom - client.top, px, py);
    const std::string x = CoordinateText("x: ", p.x);
    const std::string y = CoordinateText("y: ", p.y);
    QWidget* frame = parentWidget();
    QStatusBar* bar = frame ? frame->findChild<QStatusBar*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
    if (!bar)
        return;
    SetPane(bar->findChild<QLabel*>("ID_INDICATOR_X"), x);
    SetPane(bar->findChild<QLabel*>("ID_INDICATOR_Y"), y);
}

void CNivoView::ResizeView(UINT, int, int)
{
    if (!m_image)
        return;
    if (m_rendering) {
        m_renderAgain = true;
        return;
    }
    DiscardImage();
    Render();
}

void CNivoView::resizeEvent(QResizeEvent* event)
{
    QScrollArea::resizeEvent(event);
    ResizeView(0, viewport()->width(), viewport()->height());
}

void CNivoView::EditParameters()
{
    CParamDlg dialog;
    dialog.m_iterations = m_iterations;
    dialog.m_centerX = m_centerX;
    dialog.m_centerY = m_centerY;
    dialog.m_zoom = m_zoom;
    dialog.m_clickZoom = m_clickZoom;
    if (dialog.DoModal() != IDOK)
        return;
    const auto limit = static_cast<std::uint32_t>(dialog.m_iterations);
    m_iterations = limit > 1000 ? 1000 : limit == 0 ? 1 : static_cast<std::int32_t>(limit);
    m_centerX = dialog.m_centerX;
    m_centerY = dialog.m_centerY;
    m_zoom = dialog.m_zoom == 0 ? 1.0 : dialog.m_zoom;
    m_clickZoom = dialog.m_clickZoom == 0 ? 1.0 : dialog.m_clickZoom;
    m_history.Append({m_iterations, m_centerX, m_centerY, m_zoom});
    DiscardImage();
    Render();
}

bool CNivoView::OnCmdMsg(int id, CommandState* state)
{
    switch (id) {
    case ID_FILE_NEW:
        if (!state)
            Render();
        return true;
    case ID_FILE_SAVE:
    case ID_FILE_SAVE_AS:
        if (!state)
            IgnoreSave();
        return true;
    case ID_EDIT_UNDO:
        if (state)
            UpdateUndoCommand(*state);
        else
            UndoView();
        return true;
    case ID_FILE_EXPORT_IMAGE_AS:
        if (state)
            UpdateExportImage(*state);
        else
            ExportImageAs();
        return true;
    case ID_FILE_EXPORT_IMAGE:
        if (state)
            UpdateExportImage(*state);
        else
            ExportImage();
        return true;
    case ID_FILE_PRINT:
        if (!state)
            FilePrint();
        return static_cast<bool>(m_printer);
    case ID_FILE_PRINT_DIRECT:
        if (!state)
            FilePrintDirect();
        return static_cast<bool>(m_printer);
    case ID_FILE_PRINT_PREVIEW:
        if (!state)
            FilePrintPreview();
        return static_cast<bool>(m_printer);
    case ID_FILE_EXPORT_VIDEO:
        if (!state)
            ExportVideo();
        return true;
    case ID_EDIT_PARAMETERS:
        if (!state)
            EditParameters();
        return true;
    }
    return false;
}

void CNivoView::UpdateExportImage(CommandState& state) const { state.Enable(m_image != nullptr); }

void CNivoView::ExportImageAs()
{
    // Start where the last export went, or in the current folder.
    ExportImageDialog dialog(this, m_lastExportPath.empty()
                                       ? QDir::currentPath()
                                       : QFileInfo(QString::fromStdString(m_lastExportPath)).absolutePath());
    if (dialog.exec() != QDialog::Accepted || !m_image || dialog.selectedFiles().isEmpty())
        return;
    const std::string path = dialog.selectedFiles().first().toStdString();
    if (m_image->Save(path.c_str()) == E_FAIL) {
        ReportExportFailure();
        return;
    }
    m_lastExportPath = path;
}

void CNivoView::ExportImage()
{
    if (m_lastExportPath.empty() || !m_image) {
        ExportImageAs();
        return;
    }
    if (m_image->Save(m_lastExportPath.c_str()) == E_FAIL)
        ReportExportFailure();
}

void CNivoView::ReportExportFailure()
{
    ModalFrame::Warn(this, QStringLiteral("Erreur"), QString::fromUtf8("Erreur lors de l'enregistrement de l'image."));
}

void CNivoView::OnInitialUpdate()
{
    m_canvas->setMinimumSize(kScrollSize, kScrollSize);
    m_canvas->update();
}

bool CNivoView::OnPreparePrinting(QPrinter& printer)
{
    QPrintDialog dialog(&printer, this);
    dialog.setOption(QAbstractPrintDialog::PrintToFile);
    dialog.setMinMax(1, 1);
    return dialog.exec() == QDialog::Accepted;
}

bool CNivoView::PrintPage(QPrinter& printer)
{
    OnBeginPrinting();
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    // The picture goes onto the page as it is, never through JPEG.
    painter.setRenderHint(QPainter::LosslessImageRendering);
    PainterDC dc(&painter);
    OnDraw(&dc);
    const bool printed = painter.end();
    OnEndPrinting();
    return printed;
}

void CNivoView::FilePrint()
{
    if (!m_printer || !OnPreparePrinting(*m_printer()))
        return;
    if (!PrintPage(*m_printer()))
        ModalFrame::Warn(this, QStringLiteral("nivo"), QString::fromUtf8("Impossible d'imprimer : aucune imprimante n'est disponible."));
}

bool CNivoView::FilePrintDirect() { return m_printer && PrintPage(*m_printer()); }

void CNivoView::FilePrintPreview()
{
    auto* frame = qobject_cast<QMainWindow*>(window());
    if (m_printer && frame && frame->centralWidget() == this)
        PrintPreview::Open(*frame, *this, *m_printer());
}

void CNivoView::ExportVideo()
{
    // Before the first picture there is no frame image to export. While an
    // export waits in its compression dialog it holds "test.avi" and its
    // bitmap: a second one only brings that dialog forward.
    if (m_exportingVideo) {
        RaiseCompressionDialog();
        return;
    }
    if (!m_image || m_rendering)
        return;
    m_exportingVideo = true;
    HBITMAP bitmap = m_image->DetachBitmap();
    AVICOMPRESSOPTIONS options {};
    options.fccHandler = mmioFOURCC('d', 'i', 'v', 'x');
    AviWriter* writer = AviOpenWriter("test.avi", 41);
    AviConfigureVideo(writer, bitmap, &options, true, nullptr);
    for (int frame = 0; frame < 50; ++frame)
        AviAppendFrame(writer, bitmap);
    AviCloseWriter(writer);
    DeleteObject(bitmap);
    m_exportingVideo = false;
    Render();
}

void CNivoView::RaiseCompressionDialog()
{
    // It has no owner, so it may lie behind the main window.
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->objectName() == QLatin1String("CompressionDialog") && window->isVisible()) {
            window->raise();
            window->activateWindow();
        }
}
