#include <gtest/gtest.h>

#include <QApplication>
#include <QBackingStore>
#include <QImage>
#include <QLabel>
#include <QMainWindow>
#include <QMouseEvent>
#include <QPixmap>
#include <QStatusBar>
#include <QWindow>
#include <qpa/qplatformbackingstore.h>
#include <qpa/qplatformwindow.h>
#include <ostream>
#include <utility>

#include <cstring>
#include <random>

#include "FakeWindows.h"
#include "ProcessMemory.h"
#include "fractal/CNivoDoc.h"
#include "fractal/ComputeSettings.h"
#include "platform/DeviceContext.h"
#include "platform/Gdi32.h"
#include "render/CDibImage.h"
#include "fractal/PlaneGeometry.h"
#include "platform/User32.h"
#include "view/CNivoView.h"
#include "view/CoordinateText.h"
#include "render/MemoryDCCache.h"
#include "render/PixelColour.h"

namespace {
struct View : testing::Test {
    ProgressRecorder recorder;
    CNivoView view;

    void SetClient(int width, int height)
    {
        ASSERT_TRUE(view.ShowWithClientSize(width, height));
    }

    // Colour of picture pixel (column, row) read from the section's bytes.
    COLORREF PixelAt(int column, int row) const
    {
        const BYTE* p = view.m_image->m_topRow + row * view.m_image->m_pitch + column * 3;
        return RGB(p[2], p[1], p[0]);
    }

    ViewRecord Current() const { return {view.m_iterations, view.m_centerX, view.m_centerY, view.m_zoom}; }

    // The picture as a pixel-by-pixel colouring of the view's buffer through
    // the device context would leave it, every row with its padding.
    std::vector<BYTE> LiteralPicture() const
    {
        const int W = view.m_image->m_width, H = view.m_image->m_height;
        CDibImage literal;
        literal.CreateDib(W, H);
        for (std::int64_t i = 0; i < std::int64_t(W) * H; ++i) {
            HDC dc = literal.GetImageDC();
            SetPixel(dc, int(i / H), int(i % H), PixelColour(view.m_renderer.Calculator().m_buffer[i], view.m_iterations));
            literal.ReleaseImageDC();
        }
        return Bytes(literal);
    }

    // Renders the view twice; at each progress message of the second render,
    // how many pixels in buffer order already hold their colour. The limit must
    // colour no count black, the colour of a new section.
    std::vector<std::int64_t> ColouredAtEachStep()
    {
        view.Render();
        const int W = view.m_image->m_width, H = view.m_image->m_height;
        const std::int64_t total = std::int64_t(W) * H;
        std::vector<COLORREF> picture;
        for (std::int64_t i = 0; i < total; ++i)
            picture.push_back(PixelAt(int(i / H), int(i % H)));
        std::vector<std::int64_t> coloured;
        recorder.log.observer = [&](const BarMessage& m) {
            std::int64_t i = 0;
            while (m.msg == PBM_SETPOS && i < total && PixelAt(int(i / H), int(i % H)) == picture[i])
                ++i;
            coloured.push_back(i);
        };
        view.Render();
        recorder.log.observer = nullptr;
        return coloured;
    }

    // Pixels of `shown` that differ from the picture's.
    int Mismatches(const QImage& shown) const
    {
        int mismatches = 0;
        for (int r = 0; r < shown.height(); ++r)
            for (int c = 0; c < shown.width(); ++c) {
                const QRgb got = shown.pixel(c, r);
                mismatches += RGB(qRed(got), qGreen(got), qBlue(got)) != PixelAt(c, r);
            }
        return mismatches;
    }

    static std::vector<BYTE> Bytes(const CDibImage& image)
    {
        const int pitch = std::abs(image.m_pitch);
        const BYTE* first = image.m_topRow + std::ptrdiff_t(image.m_height - 1) * image.m_pitch;
        return {first, first + std::ptrdiff_t(pitch) * image.m_height};
    }
};

std::vector<HDC> CacheSlots()
{
    std::vector<HDC> held;
    for (int i = 0; i < MemoryDCCache::kSlots; ++i)
        held.push_back(MemoryDCCache::Instance().Peek(i));
    return held;
}

TEST_F(View, StartsAtTheDefaultViewWithoutPicture)
{
    EXPECT_EQ(view.m_image, nullptr);
    EXPECT_EQ(view.m_history.Count(), 1u);
    EXPECT_EQ(view.m_history.Last(), (ViewRecord {50, -0.5, 0.0, 1.0}));
    EXPECT_EQ(view.m_clickZoom, 10.0);
    EXPECT_EQ(view.m_lastExportPath, "");
    CommandState undo;
    view.UpdateUndoCommand(undo);
    EXPECT_FALSE(undo.enabled);
}

TEST_F(View, FourByThreeStartViewColouredColumnByColumn)
{
    SetClient(4, 3);
    view.Render();
    ASSERT_NE(view.m_image, nullptr);
    const COLORREF white = RGB(255, 255, 255);
    const COLORREF expected[4][3] = {{RGB(0, 0, 40), RGB(0, 0, 40), RGB(0, 0, 40)},
                                     {RGB(0, 0, 30), RGB(0, 0, 10), RGB(0, 0, 10)},
                                     {RGB(0, 0, 30), white, white},
                                     {RGB(0, 0, 30), RGB(0, 0, 21), RGB(0, 0, 21)}};
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 3; ++r)
            EXPECT_EQ(PixelAt(c, r), expected[c][r]) << c << "," << r;
}

TEST_F(View, EntryIGoesToColumnIOverHAndRowIModH)
{
    SetClient(3, 2);
    view.m_iterations = 1000;
    view.m_centerX = -0.75;
    view.m_zoom = 2.5;
    view.Render();
    const int H = 2;
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(PixelAt(i / H, i % H), PixelColour(view.m_renderer.Calculator().m_buffer[i], 1000)) << i;
}

TEST_F(View, RenderShowsTwoProgressPhases)
{
    SetClient(800, 600);
    view.m_iterations = 1;
    view.Render();
    EXPECT_EQ(recorder.log.created, 2);
    EXPECT_EQ(recorder.log.destroyed, 2);
    const std::vector<int> positions = recorder.log.Positions();
    ASSERT_EQ(positions.size(), 801u + 601u);
    EXPECT_EQ(positions[800], 50);
    std::vector<int> second(positions.begin() + 801, positions.end());
    EXPECT_EQ(second[0], 50);
    for (int k = 0; k < 600; ++k)
        ASSERT_EQ(second[k + 1], 50 + (50 * k) / 600) << k;
    EXPECT_EQ(second.back(), 99);
    int ranges = 0;
    for (const BarMessage& m : recorder.log.messages)
        ranges += m.msg == PBM_SETRANGE && m.lParam == 100 * 65536;
    EXPECT_EQ(ranges, 2);
}

TEST_F(View, RandomViewsGiveThePictureOfPixelByPixelColouring)
{
    std::mt19937_64 random(20261207);
    const ComputeSettings saved = ComputeSettings::Current();
    for (int round = 0; round < 24; ++round) {
        // Scalar, AVX2 and the widest vectors in turn, where the processor has them.
        ComputeSettings::Set({1 + round % 4, static_cast<Kernel>(round % 3)});
        const int width = 1 + int(random() % 97), height = 1 + int(random() % 61);
        SetClient(width, height);
        view.m_iterations = 1 + int(random() % 1000);
        view.m_centerX = std::uniform_real_distribution<double>(-2.1, 0.6)(random);
        view.m_centerY = round % 4 == 0 ? 0.0 : std::uniform_real_distribution<double>(-1.2, 1.2)(random);
        view.m_zoom = std::pow(10.0, std::uniform_real_distribution<double>(-2, 13)(random));
        view.Render();
        ASSERT_NE(view.m_image->m_bitmap, nullptr);
        ASSERT_TRUE(Bytes(*view.m_image) == LiteralPicture())
            << width << "x" << height << " limit " << view.m_iterations << " at " << view.m_centerX << ","
            << view.m_centerY << " zoom " << view.m_zoom << " threads " << 1 + round % 4;
    }
    ComputeSettings::Set(saved);
}

TEST_F(View, LimitsBeyondTheColourTableAndAfterItAreColouredByTheRule)
{
    SetClient(33, 17);
    view.m_centerX = -0.2; // mostly inside: counts reach the limit
    view.m_zoom = 20.0;
    const ComputeSettings saved = ComputeSettings::Current();
    for (const ComputeSettings& kernels : {ComputeSettings {1, Kernel::Scalar}, ComputeSettings {2, Kernel::Avx2},
                                           ComputeSettings {2, Kernel::Avx512}}) {
        ComputeSettings::Set(kernels);
        for (int limit : {70000, 1, 65536, 3}) {
            view.m_iterations = limit;
            view.Render();
            ASSERT_TRUE(Bytes(*view.m_image) == LiteralPicture())
                << limit << " " << KernelName(kernels.widest);
        }
    }
    ComputeSettings::Set(saved);
}

TEST_F(View, NoProgressStepComesBeforeItsPixel)
{
    const int W = 21, H = 13;
    SetClient(W, H);
    view.m_iterations = 7;
    view.m_centerX = -0.75;
    view.m_zoom = 1.5;
    const std::vector<std::int64_t> coloured = ColouredAtEachStep();
    // The last H steps belong to the colouring: step k comes once pixel k W is set.
    ASSERT_GE(coloured.size(), std::size_t(H));
    for (int k = 0; k < H; ++k)
        EXPECT_GE(coloured[coloured.size() - H + k], std::int64_t(k) * W + 1) << k;
}

TEST_F(View, TheBarMovesWhileTheColumnsAreColoured)
{
    // Wide enough for many blocks of columns; one thread, so that the order is fixed.
    const int W = 300, H = 13;
    const ComputeSettings saved = ComputeSettings::Current();
    ComputeSettings::Set({1});
    SetClient(W, H);
    view.m_iterations = 7;
    view.m_centerX = -0.75;
    const std::vector<std::int64_t> coloured = ColouredAtEachStep();
    ComputeSettings::Set(saved);
    ASSERT_GE(coloured.size(), std::size_t(H));
    const auto colouring = coloured.end() - H;
    // Step k comes once pixel k W is set, and before the last columns are: the
    // first steps are sent while most of the picture is still to be coloured.
    const std::int64_t total = std::int64_t(W) * H;
    for (int k = 0; k < H; ++k)
        EXPECT_GE(colouring[k], std::int64_t(k) * W + 1) << k;
    EXPECT_LT(colouring[1], total / 2);
    EXPECT_LT(colouring[H / 2], total);
}

TEST_F(View, RenderLeavesTheContextCacheAsPixelByPixelUseDoes)
{
    SetClient(30, 20);
    MemoryDCCache& cache = MemoryDCCache::Instance();
    // First slot empty, three contexts behind it: the first use takes the one
    // in slot 1 and every use gives it back into slot 0.
    cache.DeleteAll();
    HDC contexts[4];
    for (HDC& dc : contexts)
        dc = CreateCompatibleDC(nullptr);
    for (int i = 3; i >= 0; --i)
        cache.ReturnDC(contexts[i]);
    ASSERT_EQ(cache.TakeDC(), contexts[0]);
    // Seen from the bar's last step, before the picture is painted.
    std::vector<HDC> whileColouring;
    recorder.log.observer = [&](const BarMessage& m) {
        if (m.msg == PBM_SETPOS)
            whileColouring = CacheSlots();
    };
    view.Render();
    const std::vector<HDC> expected {contexts[1], nullptr, contexts[2], contexts[3]};
    EXPECT_EQ(whileColouring, expected);
    EXPECT_EQ(CacheSlots(), expected);
    EXPECT_EQ(contexts[1]->Selected(), nullptr);
    EXPECT_EQ(view.m_image->m_memDC, nullptr);
    EXPECT_EQ(view.m_image->m_memDCUses, 0);
    EXPECT_EQ(view.m_image->m_savedBitmap, nullptr);
    DeleteDC(contexts[0]);

    cache.DeleteAll();
    view.Render();
    const std::vector<HDC> held = CacheSlots();
    EXPECT_NE(held[0], nullptr);
    EXPECT_EQ(held[0]->Selected(), nullptr);
    EXPECT_EQ(std::vector<HDC>(held.begin() + 1, held.end()), std::vector<HDC>(3, nullptr));
}

TEST_F(View, TheWindowShowsThePictureUprightAtOnce)
{
    SetClient(160, 120);
    view.m_centerY = 0.3; // not symmetric, so a flip would show
    view.Render();
    const QImage shown = view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shown.size(), QSize(160, 120));
    EXPECT_EQ(Mismatches(shown), 0);
    // The top row shows the top of the plane: y above the centre is inside
    // the set less often than the real axis, whose middle is white.
    EXPECT_EQ(PixelAt(0, 0), PixelColour(view.m_renderer.Calculator().m_buffer[0], 50));
}

// A render while the window is hidden makes the same picture, and the window
// shows it in full once shown again, though nothing was drawn on it hidden.
TEST_F(View, AHiddenWindowShowsTheHiddenRendersPictureWhenShownAgain)
{
    SetClient(160, 120);
    view.m_centerY = 0.3;
    view.Render();
    const std::vector<BYTE> shownRender = Bytes(*view.m_image);
    view.hide();
    view.m_zoom = 3; // a different picture, so that a stale window would show
    view.Render();
    ASSERT_NE(view.m_image, nullptr);
    const std::vector<BYTE> hiddenRender = Bytes(*view.m_image);
    EXPECT_NE(hiddenRender, shownRender);
    EXPECT_EQ(hiddenRender, LiteralPicture());
    view.show();
    QApplication::processEvents();
    const QImage shown = view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shown.size(), QSize(160, 120));
    EXPECT_EQ(Mismatches(shown), 0);
}

TEST_F(View, ZeroHeightRenderLeavesAnEmptyImage)
{
    SetClient(40, 30);
    view.Render();
    view.resize(40, 0);
    QApplication::processEvents();
    ASSERT_NE(view.m_image, nullptr);
    EXPECT_EQ(view.m_image->m_bitmap, nullptr);
    EXPECT_EQ(view.m_renderer.Calculator().BufferSize(), 0);
    view.resize(50, 20);
    QApplication::processEvents();
    ASSERT_NE(view.m_image->m_bitmap, nullptr);
    EXPECT_EQ(view.m_image->m_width, 50);
}

TEST_F(View, AClientAreaNoPictureCanFillEndsWithAnEmptyImage)
{
    SetClient(40, 30);
    view.Render();
    const std::int64_t peak = PeakAddressSpace();
    ASSERT_GT(peak, 0);
    FakeWindow huge(100000, 100000);
    view.SetMeasuredWindow(&huge);
    for (const auto& [w, h] : {std::pair<LONG, LONG> {100000, 100000}, {0x7fffffff, 2}, {2, 0x7fffffff}}) {
        SCOPED_TRACE(testing::Message() << w << " x " << h);
        huge.Resize(w, h);
        view.Render();
        ASSERT_NE(view.m_image, nullptr);
        EXPECT_EQ(view.m_image->m_bitmap, nullptr);
        EXPECT_EQ(view.m_renderer.Calculator().BufferSize(), 0);
    }
    EXPECT_LT(PeakAddressSpace() - peak, 256 * kMiB);
    EXPECT_EQ(recorder.log.destroyed, recorder.log.created);
    // Measured on the real window again, the picture is back.
    view.SetMeasuredWindow(nullptr);
    view.Render();
    ASSERT_NE(view.m_image->m_bitmap, nullptr);
    EXPECT_EQ(view.m_image->m_width, 40);
    EXPECT_EQ(view.m_renderer.Calculator().BufferSize(), 40 * 30);
}

TEST_F(View, ResizingRendersOnlyOnceAPictureExists)
{
    SetClient(40, 30);
    view.resize(60, 40);
    QApplication::processEvents();
    EXPECT_EQ(view.m_image, nullptr);
    EXPECT_EQ(recorder.log.created, 0);
    view.Render();
    view.resize(70, 50);
    QApplication::processEvents();
    EXPECT_EQ(recorder.log.created, 4);
    EXPECT_EQ(view.m_image->m_width, 70);
    EXPECT_EQ(view.m_history.Count(), 1u);
}

TEST_F(View, UndoStepsBackThroughClicksToTheStartView)
{
    SetClient(400, 300);
    view.ZoomAtPoint(0, 0, 0);
    EXPECT_EQ(view.m_centerX, -2.3);
    EXPECT_EQ(view.m_centerY, 1.35);
    EXPECT_EQ(view.m_zoom, 10.0);
    view.ZoomAtPoint(0, 200, 150);
    view.ZoomAtPoint(0, 10, 290);
    EXPECT_EQ(view.m_history.Count(), 4u);
    EXPECT_EQ(view.m_history.Last(), Current());
    const std::size_t capacity = view.m_history.Capacity();
    for (int i = 0; i < 3; ++i) {
        CommandState undo;
        view.UpdateUndoCommand(undo);
        EXPECT_TRUE(undo.enabled);
        view.UndoView();
        EXPECT_EQ(view.m_history.Last(), Current());
    }
    EXPECT_EQ(Current(), (ViewRecord {50, -0.5, 0.0, 1.0}));
    CommandState undo;
    view.UpdateUndoCommand(undo);
    EXPECT_FALSE(undo.enabled);
    const int rendered = recorder.log.created;
    view.UndoView();
    EXPECT_EQ(recorder.log.created, rendered);
    EXPECT_EQ(view.m_history.Capacity(), capacity);
}

TEST_F(View, ClickOnTheCentreOnlyZoomsAndFactorsApply)
{
    SetClient(400, 300);
    view.ZoomAtPoint(0, 200, 150);
    EXPECT_EQ(view.m_centerX, -0.5);
    EXPECT_EQ(view.m_centerY, 0.0);
    EXPECT_EQ(view.m_zoom, 10.0);
    view.m_clickZoom = 1.0;
    view.ZoomAtPoint(0, 0, 0);
    EXPECT_EQ(view.m_zoom, 10.0);
    view.m_clickZoom = 0.5;
    view.ZoomAtPoint(0, 200, 150);
    EXPECT_EQ(view.m_zoom, 5.0);
    view.UndoView();
    view.UndoView();
    EXPECT_EQ(view.m_clickZoom, 0.5);
}

TEST_F(View, ClickOnOddWidthLandsHalfAPixelLeftOfThePointer)
{
    SetClient(401, 300);
    view.ZoomAtPoint(0, 200, 150);
    EXPECT_NEAR(view.m_centerX, -0.5 - 0.5 * (3.6 / 401), 1e-15);
}

TEST_F(View, RedrawAddsNoRecordAndReplacesTheImage)
{
    SetClient(40, 30);
    view.OnCmdMsg(57600, nullptr);
    ASSERT_NE(view.m_image, nullptr);
    const std::vector<BYTE> first = Bytes(*view.m_image);
    // Scribbled on, so that only a new picture can match the first again.
    std::memset(view.m_image->m_topRow, 0x5A, 3);
    view.OnCmdMsg(57600, nullptr);
    EXPECT_EQ(recorder.log.created, 4);
    EXPECT_EQ(view.m_history.Count(), 1u);
    ASSERT_NE(view.m_image, nullptr);
    EXPECT_TRUE(Bytes(*view.m_image) == first);
}

TEST_F(View, UndoRendersEvenWhenNothingChanges)
{
    SetClient(40, 30);
    view.m_history.Append(Current());
    view.UndoView();
    EXPECT_EQ(recorder.log.created, 2);
}
} // namespace

// Run a second time by CTest with QT_SCALE_FACTOR=2, where they apply: the
// picture is made, shown and pointed at in screen pixels.
struct ViewOnAScaledScreen : View {
    void SetUp() override
    {
        if (view.devicePixelRatioF() != 2.0)
            GTEST_SKIP() << "needs a screen scaled by 2 (QT_SCALE_FACTOR=2)";
    }
};

TEST_F(ViewOnAScaledScreen, ThePictureHasTheScreenPixelsOfTheClientAreaAndIsShownOneToOne)
{
    SetClient(80, 60);
    RECT client;
    GetClientRect(view.WindowHandle(), &client);
    EXPECT_EQ(client.right, 160);
    EXPECT_EQ(client.bottom, 120);
    view.m_centerY = 0.3;
    view.Render();
    ASSERT_EQ(view.m_image->m_width, 160);
    ASSERT_EQ(view.m_image->m_height, 120);
    // The same counts as a 160 x 120 client area anywhere.
    FakeWindow unscaled(160, 120);
    CNivoDoc calculator(&unscaled);
    calculator.Compute(50, -0.5, -0.3, 1.0, DialogBars());
    ASSERT_EQ(std::memcmp(calculator.m_buffer, view.m_renderer.Calculator().m_buffer, 160 * 120 * sizeof(std::int32_t)), 0);
    // As the render drew it, then again from a paint event alone.
    for (int pass = 0; pass < 2; ++pass) {
        const QImage shown = view.viewport()->grab().toImage();
        ASSERT_EQ(shown.size(), QSize(160, 120));
        EXPECT_EQ(Mismatches(shown), 0) << pass;
        view.viewport()->update();
        QApplication::processEvents();
    }
}

TEST_F(ViewOnAScaledScreen, ThePointerReadsAndClicksTheScreenPixelUnderIt)
{
    QMainWindow frame;
    auto* bar = new QStatusBar(&frame);
    frame.setStatusBar(bar);
    QLabel* panes[2];
    for (int i = 0; i < 2; ++i) {
        panes[i] = new QLabel(bar);
        panes[i]->setObjectName(i == 0 ? "ID_INDICATOR_X" : "ID_INDICATOR_Y");
        bar->addPermanentWidget(panes[i]);
    }
    auto* scaled = new CNivoView(&frame);
    scaled->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scaled->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    frame.setCentralWidget(scaled);
    frame.resize(300, 200);
    frame.show();
    QApplication::processEvents();
    const int W = scaled->viewport()->width() * 2, H = scaled->viewport()->height() * 2;
    QWidget* canvas = scaled->widget();
    // Half a logical pixel is a whole screen pixel: (10.5, 7.5) is pixel (21, 15).
    const QPointF at(10.5, 7.5);
    QMouseEvent move(QEvent::MouseMove, at, canvas->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(canvas, &move);
    const PlanePoint shown = PlaneGeometry::PointerToPlane(-0.5, 0.0, 1.0, W, H, 21, 15);
    EXPECT_EQ(panes[0]->text().toStdString(), CoordinateText("x: ", shown.x));
    EXPECT_EQ(panes[1]->text().toStdString(), CoordinateText("y: ", shown.y));
    QMouseEvent press(QEvent::MouseButtonPress, at, canvas->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(canvas, &press);
    const PlanePoint centre = PlaneGeometry::RecentreOnClick(-0.5, 0.0, 1.0, W, H, 21, 15);
    EXPECT_EQ(scaled->m_centerX, centre.x);
    EXPECT_EQ(scaled->m_centerY, centre.y);
    ASSERT_NE(scaled->m_image, nullptr);
    EXPECT_EQ(scaled->m_image->m_width, W);
}

void PrintTo(const QSize& size, std::ostream* out) { *out << size.width() << "x" << size.height(); }

// Run by CTest at scales 1.25, 1.5, 1.75, 2 and 3. The platform gives the
// window a number of screen pixels that need not be a whole number of logical
// ones; what the window shows of the view, as Qt paints it, is the picture.
struct ViewInAWindowOfScreenPixels : View, testing::WithParamInterface<QSize> {
    void SetUp() override
    {
        if (view.devicePixelRatioF() == 1.0)
            GTEST_SKIP() << "needs a scaled screen (QT_SCALE_FACTOR)";
    }
};

TEST_P(ViewInAWindowOfScreenPixels, ThePictureIsWhatTheWindowShowsOfTheView)
{
    QMainWindow frame;
    frame.setStatusBar(new QStatusBar(&frame));
    frame.statusBar()->addPermanentWidget(new QLabel("0.0"));
    auto* view = new CNivoView(&frame);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    frame.setCentralWidget(view);
    frame.show();
    QApplication::processEvents();
    ASSERT_NE(frame.windowHandle()->handle(), nullptr);
    frame.windowHandle()->handle()->setGeometry(QRect(frame.windowHandle()->handle()->geometry().topLeft(), GetParam()));
    QApplication::processEvents();
    ASSERT_EQ(frame.windowHandle()->handle()->geometry().size(), GetParam());
    // Where Qt paints the view: a colour no picture has, filled by the canvas.
    QWidget* canvas = view->widget();
    QPalette marked = canvas->palette();
    marked.setColor(canvas->backgroundRole(), QColor(255, 0, 255));
    canvas->setPalette(marked);
    frame.repaint();
    const auto shownOfView = [&] {
        const QImage window = frame.backingStore()->handle()->toImage().copy(QRect(QPoint(0, 0), GetParam()));
        QRect shown;
        for (int r = 0; r < window.height(); ++r)
            for (int c = 0; c < window.width(); ++c)
                if (window.pixel(c, r) == qRgb(255, 0, 255))
                    shown |= QRect(c, r, 1, 1);
        return std::pair(shown, window);
    };
    const QRect shown = shownOfView().first;
    ASSERT_FALSE(shown.isEmpty());
    RECT client;
    GetClientRect(view->WindowHandle(), &client);
    EXPECT_EQ(QSize(client.right, client.bottom), shown.size());
    view->Render();
    ASSERT_EQ(QSize(view->m_image->m_width, view->m_image->m_height), shown.size());
    const QImage window = shownOfView().second;
    int mismatches = 0;
    for (int r = 0; r < shown.height(); ++r)
        for (int c = 0; c < shown.width(); ++c) {
            const QRgb got = window.pixel(shown.left() + c, shown.top() + r);
            const BYTE* p = view->m_image->m_topRow + r * view->m_image->m_pitch + c * 3;
            mismatches += RGB(qRed(got), qGreen(got), qBlue(got)) != RGB(p[2], p[1], p[0]);
        }
    EXPECT_EQ(mismatches, 0);
}

INSTANTIATE_TEST_SUITE_P(OddAndEvenSizes, ViewInAWindowOfScreenPixels,
                         testing::Values(QSize(1000, 700), QSize(1001, 701), QSize(998, 652), QSize(999, 653),
                                         QSize(641, 481)),
                         [](const testing::TestParamInfo<QSize>& size) {
                             return std::to_string(size.param.width()) + "x" + std::to_string(size.param.height());
                         });
