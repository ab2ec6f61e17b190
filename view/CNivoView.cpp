#include "CNivoView.h"

#include <QApplication>
#include <algorithm>
#include <QLabel>
#include <QResizeEvent>
#include <QStatusBar>

#include "CommandIds.h"
#include "CoordinateText.h"
#include "ViewCanvas.h"
#include "dialogs/CParamDlg.h"
#include "dialogs/DialogProgress.h"
#include "export/ImageExport.h"
#include "export/VideoExport.h"
#include "fractal/PlaneGeometry.h"
#include "platform/User32.h"
#include "platform/qt/InputFence.h"
#include "platform/qt/QtWindow.h"
#include "render/CDibImage.h"

namespace {
constexpr int kScrollSize = 100;

// Panes are 100 pixels wide, or as wide as a typical coordinate when the
// desktop font needs more, or as the text itself when it is longer (a huge
// coordinate, or one in scientific form), so that the text is never cut.
void SetPane(QLabel* pane, const std::string& text)
{
    if (!pane)
        return;
    const QString shown = QString::fromStdString(text);
    const QFontMetrics metrics = pane->fontMetrics();
    const int typical = metrics.horizontalAdvance(QStringLiteral("y: -0.0000000000")) + 8;
    pane->setFixedWidth(std::max({100, typical, metrics.horizontalAdvance(shown) + 8}));
    pane->setText(shown);
}

// Each new position of a render's bar also shows the window again where a
// dialog or a menu closed: the window manager may take its frame away only
// once the render has begun.
class RestoringProgress : public RenderProgress {
public:
    RestoringProgress(const VacatedAreas& vacated, QWidget& window) : m_vacated(vacated), m_window(window) {}
    void Begin(int position) override
    {
        m_bar.Begin(position);
        Restore(position);
    }
    void Move(int position) override
    {
        m_bar.Move(position);
        Restore(position);
    }
    void End() override { m_bar.End(); }

private:
    void Restore(int position)
    {
        if (position == m_shown)
            return;
        m_shown = position;
        m_vacated.Restore(m_window);
    }

    DialogProgress m_bar;
    const VacatedAreas& m_vacated;
    QWidget& m_window;
    int m_shown = -1;
};

} // namespace

CNivoView::CNivoView(QWidget* parent)
    : QScrollArea(parent), m_canvas(new ViewCanvas(*this)),
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
    const RECT client = ClientArea();
    const std::int32_t W = client.right - client.left;
    const std::int32_t H = client.bottom - client.top;
    RestoringProgress progress(m_vacated, *this);
    m_renderer.Compute(W, H, {m_iterations, m_centerX, m_centerY, m_zoom}, progress);

    delete m_image;
    m_image = new CDibImage;
    m_image->CreateDibToColour(W, H);
    m_renderer.Colour(*m_image, progress);

    HDC dc = GetDC(WindowHandle());
    OnDraw(dc);
    ReleaseDC(WindowHandle(), dc);
    m_vacated.Forget();
    InputFence::Instance().Raise(*this);
    m_rendering = false;
    // A size change that arrived while the picture was made is honoured now.
    if (m_renderAgain) {
        m_renderAgain = false;
        DiscardImage();
        Render();
    }
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
    if (dialog.DoModal() != CParamDlg::IDOK)
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

void CNivoView::OnInitialUpdate()
{
    m_canvas->setMinimumSize(kScrollSize, kScrollSize);
    m_canvas->update();
}

void CNivoView::ExportImageAs() { ImageExport::SaveAs(this, m_image, m_lastExportPath); }

void CNivoView::ExportImage() { ImageExport::Save(this, m_image, m_lastExportPath); }

void CNivoView::ExportVideo()
{
    // Before the first picture there is no frame image to export. While an
    // export waits in its compression dialog it holds "test.avi" and its
    // bitmap: a second one only brings that dialog forward.
    if (m_exportingVideo) {
        VideoExport::RaiseCompressionDialog();
        return;
    }
    if (!m_image || m_rendering)
        return;
    m_exportingVideo = true;
    VideoExport::WriteTestVideo(m_image->DetachBitmap());
    m_exportingVideo = false;
    Render();
}
