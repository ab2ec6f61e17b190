#include "MainWindowFixture.h"

#include <QLayout>
#include <QPainter>
#include <QPrinter>
#include <QTemporaryDir>
#include <chrono>
#include <thread>

#include "dialogs/CProgressDlg.h"
#include "platform/User32.h"

TEST_F(MainWindow, StartsTitledMaximisedAndEmpty)
{
    EXPECT_EQ(frame->windowTitle(), "Nivo - Lumivex");
    EXPECT_TRUE(frame->windowState() & Qt::WindowMaximized);
    EXPECT_EQ(Pane(0), QString::fromUtf8("Prêt"));
    EXPECT_EQ(Pane(1), "0.0");
    EXPECT_EQ(Pane(2), "0.0");
    EXPECT_EQ(view->m_image, nullptr);
    EXPECT_FALSE(Enabled(ID_EDIT_UNDO));
    EXPECT_EQ(frame->ToolBar()->orientation(), Qt::Horizontal);
    EXPECT_EQ(frame->toolBarArea(frame->ToolBar()), Qt::TopToolBarArea);
    EXPECT_FALSE(frame->windowIcon().isNull());
}

TEST_F(MainWindow, MenusListTheirItemsInOrder)
{
    ASSERT_EQ(frame->menuBar()->actions().size(), 4);
    EXPECT_EQ(frame->menuBar()->actions()[0]->text(), "&Fichier");
    EXPECT_EQ(frame->menuBar()->actions()[1]->text(), "&Edition");
    EXPECT_EQ(frame->menuBar()->actions()[2]->text(), "&Affichage");
    EXPECT_EQ(frame->menuBar()->actions()[3]->text(), "&?");
    EXPECT_EQ(MenuTexts(0), QStringList({"&Dessiner\tCtrl+N", "&Ouvrir...\tCtrl+O", "&Enregistrer\tCtrl+S",
                                         "En&registrer sous...", "-", "Exporter image", "E&xporter image...",
                                         QString::fromUtf8("Ex&porter vidéo..."), "-", "&Imprimer...\tCtrl+P",
                                         QString::fromUtf8("Aperçu a&vant impression"),
                                         "C&onfiguration de l'impression...", "-", QString::fromUtf8("Fichier récent"),
                                         "-", "&Quitter"}));
    EXPECT_EQ(MenuTexts(1), QStringList({"&Annuler\tCtrl+Z", "-", QString::fromUtf8("&Paramètrage"), "&Couleurs"}));
    EXPECT_EQ(MenuTexts(2), QStringList({"&Barre d'outils", QString::fromUtf8("Barre d'é&tat")}));
    EXPECT_EQ(MenuTexts(3), QStringList({"&A propos de nivo..."}));
}

TEST_F(MainWindow, ToolbarHasFiveButtonsAndASeparator)
{
    const QList<QAction*> items = frame->ToolBar()->actions();
    ASSERT_EQ(items.size(), 6);
    const int ids[] = {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, 0, ID_FILE_PRINT, ID_APP_ABOUT};
    for (int i = 0; i < 6; ++i) {
        if (ids[i] == 0)
            EXPECT_TRUE(items[i]->isSeparator());
        else
            EXPECT_EQ(items[i], frame->Action(ids[i]));
    }
    EXPECT_EQ(frame->Action(ID_FILE_NEW)->toolTip(), "Nouveau");
    EXPECT_EQ(frame->Action(ID_APP_ABOUT)->toolTip(), "A propos de");
    EXPECT_EQ(frame->ToolBar()->iconSize(), QSize(16, 15));
}

TEST_F(MainWindow, EnableRulesFollowTheView)
{
    EXPECT_FALSE(Enabled(ID_EDIT_COLORS));
    EXPECT_TRUE(Enabled(ID_EDIT_PARAMETERS));
    EXPECT_TRUE(Enabled(ID_FILE_SAVE));
    EXPECT_TRUE(Enabled(ID_FILE_SAVE_AS));
    EXPECT_FALSE(frame->RunCommand(ID_EDIT_COLORS));
    EXPECT_FALSE(frame->RunCommand(ID_EDIT_COPY));
    EXPECT_FALSE(frame->RunCommand(ID_NEXT_PANE));
}

TEST_F(MainWindow, UndoAcceleratorsIdleAtStartAndWorkAfterAClick)
{
    SetClient(400, 300);
    Press(QKeySequence(Qt::CTRL | Qt::Key_Z));
    Press(QKeySequence(Qt::ALT | Qt::Key_Backspace));
    EXPECT_EQ(view->m_image, nullptr);
    Click(0, 0);
    EXPECT_EQ(view->m_zoom, 10.0);
    EXPECT_TRUE(Enabled(ID_EDIT_UNDO));
    Press(QKeySequence(Qt::CTRL | Qt::Key_Z));
    EXPECT_EQ(view->m_zoom, 1.0);
    Click(200, 150);
    Press(QKeySequence(Qt::ALT | Qt::Key_Backspace));
    EXPECT_EQ(view->m_zoom, 1.0);
    EXPECT_EQ(view->m_history.Count(), 1u);
}

TEST_F(MainWindow, CtrlNRendersWithoutRecordOrNewTitle)
{
    SetClient(200, 150);
    Press(QKeySequence(Qt::CTRL | Qt::Key_N));
    CDibImage* first = view->m_image;
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->m_width, 200);
    Press(QKeySequence(Qt::CTRL | Qt::Key_N));
    EXPECT_EQ(view->m_history.Count(), 1u);
    EXPECT_EQ(frame->windowTitle(), "Nivo - Lumivex");
}

TEST_F(MainWindow, PointerCoordinatesAppearBeforeTheClick)
{
    SetClient(400, 300);
    QMouseEvent move(QEvent::MouseMove, QPointF(0, 0), Canvas()->mapToGlobal(QPointF(0, 0)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(Canvas(), &move);
    EXPECT_EQ(Pane(1), "x: -2.3000000000");
    EXPECT_EQ(Pane(2), "y: 1.3500000000");
    Click(0, 0);
    EXPECT_EQ(view->m_centerX, -2.3);
    EXPECT_EQ(view->m_centerY, 1.35);
    EXPECT_EQ(view->m_zoom, 10.0);
}

TEST_F(MainWindow, HiddenStatusBarStillReceivesCoordinates)
{
    SetClient(400, 300);
    EXPECT_TRUE(frame->Action(ID_VIEW_STATUS_BAR)->isChecked());
    frame->RunCommand(ID_VIEW_STATUS_BAR);
    EXPECT_FALSE(frame->statusBar()->isVisible());
    EXPECT_FALSE(frame->Action(ID_VIEW_STATUS_BAR)->isChecked());
    view->ShowPlaneCoordinates(0, 200, 150);
    EXPECT_EQ(Pane(1), "x: -0.5000000000");
    frame->RunCommand(ID_VIEW_STATUS_BAR);
    EXPECT_TRUE(frame->statusBar()->isVisible());
    frame->RunCommand(ID_VIEW_TOOLBAR);
    EXPECT_FALSE(frame->ToolBar()->isVisible());
    EXPECT_FALSE(frame->Action(ID_VIEW_TOOLBAR)->isChecked());
}

TEST_F(MainWindow, ALongPromptNeverWidensTheWindow)
{
    const int narrowest = frame->layout()->minimumSize().width();
    frame->ShowPrompt(QString(400, QChar('x')));
    QApplication::processEvents();
    EXPECT_EQ(frame->layout()->minimumSize().width(), narrowest);
    EXPECT_EQ(Pane(0), QString(400, QChar('x')));
}

TEST_F(MainWindow, PromptsShowWhileAnItemIsHighlighted)
{
    frame->Action(ID_FILE_NEW)->showStatusText(frame);
    EXPECT_EQ(Pane(0), QString::fromUtf8("Crée un nouveau document"));
    frame->ShowPrompt(QString());
    QStatusTipEvent leave(QString {});
    QApplication::sendEvent(frame, &leave);
    EXPECT_EQ(Pane(0), QString::fromUtf8("Prêt"));
    // Through a real menu: the item without a prompt leaves the pane empty.
    QMenu* edit = frame->Menu(1);
    edit->popup(QPoint(10, 10));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(edit));
    edit->setActiveAction(frame->Action(ID_EDIT_PARAMETERS));
    EXPECT_EQ(Pane(0), QString());
    edit->close();
    QApplication::processEvents();
    EXPECT_EQ(Pane(0), QString::fromUtf8("Prêt"));
    QMenu* file = frame->Menu(0);
    file->popup(QPoint(10, 10));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(file));
    file->setActiveAction(frame->Action(ID_FILE_NEW));
    EXPECT_EQ(Pane(0), QString::fromUtf8("Crée un nouveau document"));
    file->close();
    QApplication::processEvents();
    EXPECT_EQ(Pane(0), QString::fromUtf8("Prêt"));
}

TEST_F(MainWindow, GreyedItemsShowTheirPromptsToo)
{
    QMenu* file = frame->Menu(0);
    file->popup(QPoint(10, 10));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(file));
    frame->UpdateCommands();
    // From an item with a prompt to a greyed one without, to a greyed one with.
    const int path[] = {ID_FILE_NEW, ID_FILE_EXPORT_IMAGE_AS, ID_FILE_MRU_FILE1, ID_FILE_OPEN, ID_FILE_EXPORT_IMAGE};
    const char* prompts[] = {"Crée un nouveau document", "", "Ouvre ce document", "Ouvre un document existant", ""};
    for (int i = 0; i < 5; ++i) {
        QAction* item = frame->Action(path[i]);
        EXPECT_EQ(item->isEnabled(), path[i] == ID_FILE_NEW || path[i] == ID_FILE_OPEN);
        QTest::mouseMove(file, file->actionGeometry(item).center());
        QApplication::processEvents();
        EXPECT_EQ(Pane(0), QString::fromUtf8(prompts[i])) << i;
    }
    // The keyboard reaches greyed items as well.
    QTest::mouseMove(file, file->actionGeometry(frame->Action(ID_APP_EXIT)).center());
    QTest::keyClick(file, Qt::Key_Up);
    EXPECT_EQ(file->activeAction(), frame->Action(ID_FILE_MRU_FILE1));
    EXPECT_EQ(Pane(0), QString::fromUtf8("Ouvre ce document"));
    file->close();
    QApplication::processEvents();
    EXPECT_EQ(Pane(0), QString::fromUtf8("Prêt"));
}

TEST_F(MainWindow, F10OpensTheFirstMenuForTheKeyboard)
{
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame));
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    QTest::keyClick(frame, Qt::Key_F10);
    QApplication::processEvents();
    EXPECT_EQ(QApplication::activePopupWidget(), frame->Menu(0));
    // The arrow keys then move along the bar.
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Right);
    QApplication::processEvents();
    EXPECT_EQ(QApplication::activePopupWidget(), frame->Menu(1));
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
    QTest::keyClick(frame->menuBar(), Qt::Key_Escape);
    QApplication::processEvents();
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}

// Records what the progress box looks like each time it is painted.
class ProgressPaints : public QObject {
public:
    struct Paint {
        int position;
        bool window;
        QWidget* drawnIn;
        bool postedEventRan;
    };
    std::vector<Paint> paints;
    bool postedEventRan = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* bar = qobject_cast<QProgressBar*>(watched);
        if (event->type() == QEvent::Paint && bar && bar->objectName() == "IDC_PROGRESS") {
            QWidget* box = bar->parentWidget();
            paints.push_back({bar->value(), box->isWindow(), box->parentWidget(), postedEventRan});
        }
        return false;
    }
};

// Each painting of the bar waits for the display: a box is painted empty as
// it is shown, then at the position it starts at, then as its bar moves at
// most once a frame.
TEST_F(MainWindow, TheBarIsPaintedWhereItStartsThenAtMostOnceAFrame)
{
    SetClient(400, 300);
    for (const WPARAM from : {0, 50}) {
        ProgressPaints recorder;
        qApp->installEventFilter(&recorder);
        CProgressDlg dialog;
        const auto start = std::chrono::steady_clock::now();
        dialog.Start(from);
        const std::size_t started = recorder.paints.size();
        for (WPARAM position = from + 1; position <= from + 40; ++position)
            SendMessageA(dialog.m_progress, PBM_SETPOS, position, 0);
        const std::chrono::duration<double, std::milli> burst = std::chrono::steady_clock::now() - start;
        const std::size_t paintedInBurst = recorder.paints.size() - started;
        for (WPARAM position : {from + 41, from + 45}) {
            std::this_thread::sleep_for(std::chrono::milliseconds(11));
            SendMessageA(dialog.m_progress, PBM_SETPOS, position, 0);
        }
        qApp->removeEventFilter(&recorder);
        ASSERT_EQ(started, from == 0 ? 1u : 2u) << from;
        EXPECT_EQ(recorder.paints[started - 1].position, int(from));
        EXPECT_LE(paintedInBurst, burst.count() / 10) << from;
        ASSERT_EQ(recorder.paints.size(), started + paintedInBurst + 2) << from;
        EXPECT_EQ(recorder.paints.back().position, int(from) + 45);
    }
}

TEST_F(MainWindow, ARenderPaintsItsProgressInsideTheWindowAndRunsNothingElse)
{
    SetClient(400, 300);
    QWidget* focused = QApplication::focusWidget();
    ProgressPaints recorder;
    qApp->installEventFilter(&recorder);
    QTimer::singleShot(0, [&recorder] { recorder.postedEventRan = true; });
    ASSERT_TRUE(frame->RunCommand(ID_FILE_NEW));
    qApp->removeEventFilter(&recorder);
    // Both boxes were painted, each a child of the client area, and nothing
    // queued ran meanwhile.
    ASSERT_GE(recorder.paints.size(), 3u);
    std::vector<int> positions;
    for (const ProgressPaints::Paint& paint : recorder.paints) {
        EXPECT_FALSE(paint.window);
        EXPECT_EQ(paint.drawnIn, view->viewport());
        EXPECT_FALSE(paint.postedEventRan);
        positions.push_back(paint.position);
    }
    // The computation's box from 0 on, then the colouring's from 50 on (each box
    // is first painted empty, as it is shown, before its bar is set).
    const auto colouring = std::find(positions.begin(), positions.end(), 50);
    ASSERT_LT(colouring - positions.begin(), std::ptrdiff_t(positions.size()));
    ASSERT_GE(colouring - positions.begin(), 2);
    EXPECT_EQ(positions[0], 0);
    EXPECT_TRUE(std::is_sorted(positions.begin(), colouring - 1));
    EXPECT_EQ(*(colouring - 1), 0);
    EXPECT_TRUE(std::is_sorted(colouring, positions.end()));
    // Gone once the render is over, and the focus never moved.
    EXPECT_TRUE(view->viewport()->findChildren<QWidget*>("IDD_PROGRESS").isEmpty());
    EXPECT_EQ(QApplication::focusWidget(), focused);
    QApplication::processEvents();
    EXPECT_TRUE(recorder.postedEventRan);
}

TEST_F(MainWindow, LeavingTheMaximisedStateGivesThreeQuartersOfTheScreenCentred)
{
    const QRect available = frame->screen()->availableGeometry();
    const QRect restored = frame->normalGeometry();
    EXPECT_EQ(restored.size(), available.size() * 3 / 4);
    EXPECT_LE((restored.center() - available.center()).manhattanLength(), 2);
    EXPECT_TRUE(available.contains(restored));
}

// Each case runs in a process of its own, so nothing earlier has loaded them.
TEST_F(MainWindow, StartsWithoutThePrintSystemOrAnyImagePlugin)
{
    ASSERT_TRUE(Mapped("libQt6Widgets"));
    // CTest runs each case in a process of its own; after other cases, one may have printed.
    if (Mapped("/printsupport/") || Mapped("/imageformats/"))
        GTEST_SKIP() << "an earlier case in this process printed or read an image";
    EXPECT_FALSE(Mapped("/printsupport/"));
    EXPECT_FALSE(Mapped("libcups"));
    EXPECT_FALSE(Mapped("/imageformats/"));
    // The first print brings the print system.
    QTemporaryDir dir;
    App().Printer()->setOutputFileName(dir.filePath("page.pdf"));
    EXPECT_TRUE(Mapped("/printsupport/"));
}

// A page whose end found no memory leaves its painter, and so its printer, as
// they are: the next print is given a printer it can paint.
TEST_F(MainWindow, APrinterLeftPaintedIsReplaced)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the painter left as it is is what the leak checker reports";
#endif
    QTemporaryDir dir;
    QPrinter* printer = App().Printer();
    printer->setOutputFileName(dir.filePath("page.pdf"));
    ASSERT_TRUE((new QPainter)->begin(printer));
    QPrinter* next = App().Printer();
    EXPECT_FALSE(next->paintingActive());
    next->setOutputFileName(dir.filePath("next.pdf"));
    view->Render();
    EXPECT_TRUE(view->FilePrintDirect());
}

TEST_F(MainWindow, PrintsGoToTheApplicationsPrinterWhichEachNewWindowMakesAfresh)
{
    QTemporaryDir dir;
    QPrinter* printer = App().Printer();
    printer->setOutputFileName(dir.filePath("page.pdf"));
    printer->setResolution(72);
    view->Render();
    EXPECT_EQ(App().Printer(), printer);
    ASSERT_TRUE(view->FilePrintDirect());
    QFile page(dir.filePath("page.pdf"));
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    EXPECT_TRUE(page.read(5) == "%PDF-");

    ASSERT_TRUE(App().InitInstance(CommandLine {}));
    EXPECT_TRUE(App().Printer()->outputFileName().isEmpty());
    EXPECT_EQ(App().Printer()->resolution(), QPrinter(QPrinter::HighResolution).resolution());
}

// Whatever the coordinate, its pane shows it whole: a long one in fixed or
// scientific form widens the pane, an ordinary one brings it back.
TEST_F(MainWindow, CoordinatePanesShowEveryTextWhole)
{
    SetClient(400, 300);
    const struct {
        double zoom;
        const char* x;
    } cases[] = {
        {1.0, "x: -2.3000000000"},
        {1e-7, "x: -18000000.5000000000"},
        {1e-15, "x: -1.800000000e+15"},
        {1e-300, "x: -1.800000000e+300"},
        {1.0, "x: -2.3000000000"},
    };
    QLabel* pane = frame->Pane(1);
    int ordinary = 0;
    for (const auto& c : cases) {
        view->m_zoom = c.zoom;
        view->ShowPlaneCoordinates(0, 0, 0);
        QApplication::processEvents();
        EXPECT_EQ(Pane(1).toStdString(), c.x);
        EXPECT_LE(pane->fontMetrics().horizontalAdvance(pane->text()), pane->contentsRect().width()) << c.x;
        if (c.zoom != 1.0)
            continue;
        if (ordinary) {
            EXPECT_EQ(pane->width(), ordinary);
        }
        ordinary = pane->width();
    }
}
