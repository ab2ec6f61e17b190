#include <gtest/gtest.h>

#include <QAction>
#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QPrinter>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <cstdlib>
#include <QFile>
#include <QTemporaryDir>
#include <functional>

#include "ModalDriver.h"
#include "ProcessMemory.h"
#include "app/CMainFrame.h"
#include "app/CNivoApp.h"
#include "dialogs/CParamDlg.h"
#include "cli/CommandLine.h"
#include "view/CommandIds.h"
#include "dialogs/ModalFrame.h"
#include "platform/Vfw.h"
#include "render/CDibImage.h"
#include "view/CNivoView.h"

namespace {
CNivoApp& App() { return *static_cast<CNivoApp*>(QCoreApplication::instance()); }

// A modal frame: title and close box, nothing that minimises or maximises.
void ExpectModalFrame(const QWidget* dialog)
{
    const Qt::WindowFlags flags = dialog->windowFlags();
    EXPECT_TRUE(dialog->isModal() || dialog->windowModality() != Qt::NonModal) << dialog->metaObject()->className();
    EXPECT_TRUE(flags & Qt::WindowTitleHint) << dialog->metaObject()->className();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint) << dialog->metaObject()->className();
    EXPECT_TRUE(flags & Qt::CustomizeWindowHint) << dialog->metaObject()->className();
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint) << dialog->metaObject()->className();
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint) << dialog->metaObject()->className();
}

// The compression dialog is not modal: `step` runs on it once it shows.
void OnCompressionDialog(std::function<void(QDialog*)> step)
{
    QTimer::singleShot(10, [step] {
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window->objectName() == "CompressionDialog" && window->isVisible()) {
                step(static_cast<QDialog*>(window));
                return;
            }
        OnCompressionDialog(step);
    });
}

QImage Picture(const CDibImage& image)
{
    QImage picture(image.m_width, image.m_height, QImage::Format_RGB888);
    for (int r = 0; r < picture.height(); ++r)
        for (int c = 0; c < picture.width(); ++c) {
            const BYTE* p = image.m_topRow + r * image.m_pitch + c * 3;
            picture.setPixel(c, r, qRgb(p[2], p[1], p[0]));
        }
    return picture;
}

int VisibleCompressionDialogs()
{
    int count = 0;
    for (QWidget* window : QApplication::topLevelWidgets())
        count += window->objectName() == "CompressionDialog" && window->isVisible();
    return count;
}

struct MainWindow : testing::Test {
    CMainFrame* frame = nullptr;
    CNivoView* view = nullptr;

    void SetUp() override
    {
        ASSERT_TRUE(App().InitInstance(CommandLine {}));
        frame = App().MainFrame();
        view = App().View();
        frame->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame));
        QApplication::processEvents();
    }

    // Resizes the frame so that the view's client area has this size.
    void SetClient(int width, int height)
    {
        frame->setWindowState(Qt::WindowNoState);
        for (int i = 0; i < 3; ++i) {
            const QSize client = view->viewport()->size();
            frame->resize(frame->size() + QSize(width, height) - client);
            QApplication::processEvents();
        }
        ASSERT_EQ(view->viewport()->size(), QSize(width, height));
    }

    // A real press and release at a client point (QTest treats (0, 0) as "the middle").
    void Click(int x, int y)
    {
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent event(type, QPointF(x, y), Canvas()->mapToGlobal(QPointF(x, y)), Qt::LeftButton,
                              type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(Canvas(), &event);
        }
        QApplication::processEvents();
    }

    QString Pane(int i) const { return frame->Pane(i)->text(); }
    QWidget* Canvas() const { return view->widget(); }
    QStringList MenuTexts(int index) const
    {
        QStringList texts;
        for (QAction* a : frame->Menu(index)->actions())
            texts << (a->isSeparator() ? QString("-") : a->text());
        return texts;
    }
    void Press(QKeySequence keys)
    {
        const QKeyCombination combo = keys[0];
        QTest::keyClick(frame, combo.key(), combo.keyboardModifiers());
        QApplication::processEvents();
    }
    bool Enabled(int id) const
    {
        frame->UpdateCommands();
        return frame->Action(id)->isEnabled();
    }
};

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

TEST_F(MainWindow, ParametersDialogShowsTheViewAndAppliesClamps)
{
    SetClient(200, 150);
    OnNextModal([](QWidget* modal) {
        auto* dialog = qobject_cast<CParamDlg*>(modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle(), QString::fromUtf8("Paramètres de mandelbrot"));
        EXPECT_EQ(dialog->findChild<QLineEdit*>("IDC_ITERATIONS")->text(), "50");
        EXPECT_EQ(dialog->findChild<QLineEdit*>("IDC_CENTER_X")->text(), "-0.5");
        EXPECT_EQ(dialog->findChild<QLineEdit*>("IDC_CENTER_Y")->text(), "0");
        EXPECT_EQ(dialog->findChild<QLineEdit*>("IDC_ZOOM")->text(), "1");
        EXPECT_EQ(dialog->findChild<QLineEdit*>("IDC_CLICK_ZOOM")->text(), "10");
        EXPECT_EQ(dialog->findChild<QPushButton*>("IDCANCEL")->text(), "Cancel");
        dialog->findChild<QLineEdit*>("IDC_ITERATIONS")->setText("5000");
        dialog->findChild<QLineEdit*>("IDC_ZOOM")->setText("0");
        dialog->findChild<QLineEdit*>("IDC_CLICK_ZOOM")->setText("-2");
        dialog->findChild<QPushButton*>("IDOK")->click();
    });
    frame->RunCommand(ID_EDIT_PARAMETERS);
    EXPECT_EQ(view->m_iterations, 1000);
    EXPECT_EQ(view->m_zoom, 1.0);
    EXPECT_EQ(view->m_clickZoom, -2.0);
    EXPECT_EQ(view->m_history.Count(), 2u);
    ASSERT_NE(view->m_image, nullptr);

    OnNextModal([](QWidget* modal) {
        modal->findChild<QLineEdit*>("IDC_ITERATIONS")->setText("0");
        modal->findChild<QLineEdit*>("IDC_ZOOM")->setText("-2");
        modal->findChild<QPushButton*>("IDOK")->click();
    });
    view->EditParameters();
    EXPECT_EQ(view->m_iterations, 1);
    EXPECT_EQ(view->m_zoom, -2.0);
}

TEST_F(MainWindow, CancelChangesNothing)
{
    OnNextModal([](QWidget* modal) {
        modal->findChild<QLineEdit*>("IDC_ITERATIONS")->setText("7");
        QTest::keyClick(modal, Qt::Key_Escape);
    });
    view->EditParameters();
    EXPECT_EQ(view->m_iterations, 50);
    EXPECT_EQ(view->m_history.Count(), 1u);
    EXPECT_EQ(view->m_image, nullptr);
}

TEST_F(MainWindow, AcceptingUnchangedAppendsADuplicateAndRenders)
{
    SetClient(200, 150);
    OnNextModal([](QWidget* modal) { modal->findChild<QPushButton*>("IDOK")->click(); });
    view->EditParameters();
    EXPECT_EQ(view->m_history.Count(), 2u);
    EXPECT_EQ(view->m_history.Last(), (ViewRecord {50, -0.5, 0.0, 1.0}));
    EXPECT_NE(view->m_image, nullptr);
}

TEST_F(MainWindow, BadTextKeepsTheDialogOpenWithFocusOnTheField)
{
    const char* bad[] = {"abc", "nan", "inf", "1e999", ""};
    for (const char* text : bad) {
        bool refused = false;
        OnNextModal([text, &refused](QWidget* modal) {
            auto* zoom = modal->findChild<QLineEdit*>("IDC_ZOOM");
            zoom->setText(text);
            OnNextModal([&refused, modal, zoom](QWidget* box) {
                EXPECT_NE(qobject_cast<QMessageBox*>(box), nullptr);
                EXPECT_EQ(static_cast<QMessageBox*>(box)->text(), "Entrez un nombre.");
                box->close();
                QTimer::singleShot(0, [&refused, modal, zoom] {
                    refused = modal->isVisible() && modal->focusWidget() == zoom;
                    static_cast<QDialog*>(modal)->reject();
                });
            });
            modal->findChild<QPushButton*>("IDOK")->click();
        });
        view->EditParameters();
        EXPECT_TRUE(refused) << text;
        EXPECT_EQ(view->m_history.Count(), 1u);
    }
}

TEST_F(MainWindow, IterationFieldTakesDigitsOnly)
{
    OnNextModal([](QWidget* modal) {
        auto* field = modal->findChild<QLineEdit*>("IDC_ITERATIONS");
        field->clear();
        field->setFocus();
        QTest::keyClicks(field, "-1a2");
        EXPECT_EQ(field->text(), "12");
        static_cast<QDialog*>(modal)->reject();
    });
    view->EditParameters();
}

TEST_F(MainWindow, AboutBoxOpensAndCloses)
{
    bool seen = false;
    OnNextModal([&seen](QWidget* modal) {
        seen = modal->windowTitle() == "A propos de Lumivex...";
        EXPECT_NE(modal->findChild<QLabel*>(), nullptr);
        modal->findChild<QPushButton*>("IDOK")->click();
    });
    frame->RunCommand(ID_APP_ABOUT);
    EXPECT_TRUE(seen);
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

TEST_F(MainWindow, ModalDialogsHaveATitleAndACloseBoxOnly)
{
    int seen = 0;
    OnNextModal([&seen](QWidget* modal) {
        ExpectModalFrame(modal);
        ++seen;
        auto* zoom = modal->findChild<QLineEdit*>("IDC_ZOOM");
        zoom->setText("x");
        OnNextModal([&seen, modal](QWidget* box) {
            EXPECT_NE(qobject_cast<QMessageBox*>(box), nullptr);
            ExpectModalFrame(box);
            ++seen;
            box->close();
            QTimer::singleShot(0, modal, [modal] { static_cast<QDialog*>(modal)->reject(); });
        });
        modal->findChild<QPushButton*>("IDOK")->click();
    });
    view->EditParameters();
    OnNextModal([&seen](QWidget* modal) {
        ExpectModalFrame(modal);
        ++seen;
        static_cast<QDialog*>(modal)->reject();
    });
    frame->RunCommand(ID_APP_ABOUT);
    OnNextModal([&seen](QWidget* modal) {
        ExpectModalFrame(modal);
        ++seen;
        static_cast<QDialog*>(modal)->reject();
    });
    ModalFrame::Warn(frame, "nivo", "texte");
    EXPECT_EQ(seen, 4);
}

TEST_F(MainWindow, AModalDialogMinimisedByTheWindowManagerComesBackWithItsOwner)
{
    bool back = false;
    OnNextModal([this, &back](QWidget* modal) {
        // What a window manager that ignores the frame's hints does: the dialog and its owner iconified.
        frame->setWindowState(frame->windowState() | Qt::WindowMinimized);
        modal->setWindowState(modal->windowState() | Qt::WindowMinimized);
        ASSERT_TRUE(modal->isMinimized());
        QTimer::singleShot(50, modal, [this, &back, modal] {
            back = !modal->isMinimized() && modal->isVisible() && !frame->isMinimized() && frame->isMaximized();
            static_cast<QDialog*>(modal)->reject();
        });
    });
    view->EditParameters();
    EXPECT_TRUE(back);
}

TEST_F(MainWindow, ParameterFieldsOpenOnTheirBeginning)
{
    view->m_centerX = -0.50212345678901234;
    view->m_centerY = 0.12345678901234567;
    view->m_zoom = 1.2345678901234567e+300;
    view->m_clickZoom = -98765.432101234567;
    bool seen = false;
    OnNextModal([&seen](QWidget* modal) {
        for (const char* name : {"IDC_ITERATIONS", "IDC_CENTER_X", "IDC_CENTER_Y", "IDC_ZOOM", "IDC_CLICK_ZOOM"}) {
            auto* field = modal->findChild<QLineEdit*>(name);
            EXPECT_EQ(field->cursorPosition(), 0) << name;
            EXPECT_FALSE(field->hasSelectedText()) << name;
        }
        EXPECT_EQ(modal->findChild<QLineEdit*>("IDC_CENTER_X")->text(), "-0.502123456789012");
        seen = true;
        static_cast<QDialog*>(modal)->reject();
    });
    view->EditParameters();
    EXPECT_TRUE(seen);
}

TEST_F(MainWindow, PrintSetupChoosesPaperAndOrientationAndPrintsNothing)
{
    QTemporaryDir dir;
    QPrinter* printer = App().Printer();
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(dir.filePath("page.pdf"));
    printer->setPageSize(QPageSize(QPageSize::A4));
    printer->setPageOrientation(QPageLayout::Portrait);
    bool seen = false;
    OnNextModal([&seen](QWidget* modal) {
        EXPECT_EQ(modal->windowTitle(), QString::fromUtf8("Configuration de l'impression"));
        ExpectModalFrame(modal);
        auto* paper = modal->findChild<QComboBox*>("PaperSize");
        auto* landscape = modal->findChild<QRadioButton*>("Landscape");
        if (!paper || !landscape || !modal->findChild<QComboBox*>("PrinterName")) {
            ADD_FAILURE() << "no printer, paper or orientation choice";
            static_cast<QDialog*>(modal)->reject();
            return;
        }
        EXPECT_EQ(paper->currentText(), "A4");
        EXPECT_TRUE(modal->findChild<QRadioButton*>("Portrait")->isChecked());
        paper->setCurrentIndex(paper->findData(int(QPageSize::A5)));
        landscape->setChecked(true);
        seen = true;
        modal->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    frame->RunCommand(ID_FILE_PRINT_SETUP);
    ASSERT_TRUE(seen);
    EXPECT_EQ(printer->pageLayout().pageSize().id(), QPageSize::A5);
    EXPECT_EQ(printer->pageLayout().orientation(), QPageLayout::Landscape);
    EXPECT_FALSE(QFile::exists(dir.filePath("page.pdf")));
    EXPECT_TRUE(QDir(dir.path()).isEmpty());

    // Cancel changes nothing.
    OnNextModal([](QWidget* modal) {
        auto* paper = modal->findChild<QComboBox*>("PaperSize");
        EXPECT_EQ(paper->currentText(), "A5");
        EXPECT_TRUE(modal->findChild<QRadioButton*>("Landscape")->isChecked());
        paper->setCurrentIndex(paper->findData(int(QPageSize::Letter)));
        static_cast<QDialog*>(modal)->reject();
    });
    frame->RunCommand(ID_FILE_PRINT_SETUP);
    EXPECT_EQ(printer->pageLayout().pageSize().id(), QPageSize::A5);
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST_F(MainWindow, CompressionDialogLeavesTheWindowUsable)
{
    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    SetClient(120, 90);
    Press(QKeySequence(Qt::CTRL | Qt::Key_N));
    ASSERT_NE(view->m_image, nullptr);
    const QImage exported = Picture(*view->m_image);
    QStringList messages;
    bool seen = false;
    OnCompressionDialog([&](QDialog* dialog) {
        seen = true;
        EXPECT_EQ(dialog->parentWidget(), nullptr);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        EXPECT_TRUE(frame->isEnabled());
        // The export holds the bitmap: an image export fails with its message.
        ASSERT_NE(view->m_image, nullptr);
        EXPECT_EQ(view->m_image->m_bitmap, nullptr);
        OnNextModal([&](QWidget* save) {
            static_cast<QFileDialog*>(save)->selectFile(dir.filePath("pendant.png"));
            OnNextModal([&](QWidget* box) {
                messages << box->windowTitle() + "|" + static_cast<QMessageBox*>(box)->text();
                static_cast<QDialog*>(box)->accept();
            });
            QMetaObject::invokeMethod(save, "accept");
        });
        EXPECT_TRUE(frame->RunCommand(ID_FILE_EXPORT_IMAGE));
        EXPECT_FALSE(QFile::exists(dir.filePath("pendant.png")));
        // A click zooms and renders a new picture meanwhile.
        Click(60, 45);
        EXPECT_EQ(view->m_zoom, 10.0);
        ASSERT_NE(view->m_image, nullptr);
        EXPECT_NE(view->m_image->m_bitmap, nullptr);
        // A second video export while this one waits changes nothing.
        CDibImage* current = view->m_image;
        // Were a second dialog to open, it is refused rather than left waiting.
        QTimer refuseOthers;
        QObject::connect(&refuseOthers, &QTimer::timeout, [dialog] {
            for (QWidget* window : QApplication::topLevelWidgets())
                if (window != dialog && window->objectName() == "CompressionDialog" && window->isVisible()) {
                    ADD_FAILURE() << "a second compression dialog";
                    static_cast<QDialog*>(window)->reject();
                }
        });
        refuseOthers.start(100);
        frame->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(frame));
        EXPECT_TRUE(frame->RunCommand(ID_FILE_EXPORT_VIDEO));
        refuseOthers.stop();
        // It brings the waiting dialog forward instead, which may lie behind the main window.
        EXPECT_TRUE(QTest::qWaitForWindowActive(dialog));
        EXPECT_EQ(VisibleCompressionDialogs(), 1);
        EXPECT_EQ(view->m_image, current);
        EXPECT_NE(current->m_bitmap, nullptr);
        auto* compressor = dialog->findChild<QComboBox*>("Compressor");
        const int uncompressed = compressor->findData(uint(mmioFOURCC('D', 'I', 'B', ' ')));
        ASSERT_GE(uncompressed, 0);
        compressor->setCurrentIndex(uncompressed);
        dialog->accept();
    });
    EXPECT_TRUE(frame->RunCommand(ID_FILE_EXPORT_VIDEO));
    EXPECT_TRUE(seen);
    EXPECT_EQ(messages, QStringList {QString::fromUtf8("Erreur|Erreur lors de l'enregistrement de l'image.")});
    EXPECT_EQ(VisibleCompressionDialogs(), 0);
    // The video holds the picture of the export, not the one drawn meanwhile.
    ASSERT_EQ(std::system("ffmpeg -v error -y -i test.avi -frames:v 1 premier.png"), 0);
    EXPECT_EQ(QImage("premier.png").convertToFormat(QImage::Format_RGB888), exported);
    ASSERT_EQ(std::system("ffprobe -v error -count_frames -show_entries stream=nb_read_frames -of csv=p=0 test.avi "
                          "> frames.txt"),
              0);
    QFile frames("frames.txt");
    ASSERT_TRUE(frames.open(QIODevice::ReadOnly));
    EXPECT_EQ(frames.readAll().trimmed(), "50");
    // Afterwards the view shows its own view again, zoomed.
    ASSERT_NE(view->m_image, nullptr);
    EXPECT_NE(view->m_image->m_bitmap, nullptr);
    EXPECT_EQ(view->m_zoom, 10.0);
    QDir::setCurrent(previous);
}
} // namespace

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

TEST_F(MainWindow, ARenderPaintsItsProgressInsideTheWindowAndRunsNothingElse)
{
    SetClient(400, 300);
    QWidget* focused = QApplication::focusWidget();
    ProgressPaints recorder;
    qApp->installEventFilter(&recorder);
    QTimer::singleShot(0, [&recorder] { recorder.postedEventRan = true; });
    ASSERT_TRUE(frame->RunCommand(ID_FILE_NEW));
    qApp->removeEventFilter(&recorder);
    // Both phases were painted as they went, each box a child of the client area,
    // and nothing queued ran meanwhile.
    ASSERT_GE(recorder.paints.size(), 4u);
    std::vector<int> positions;
    for (const ProgressPaints::Paint& paint : recorder.paints) {
        EXPECT_FALSE(paint.window);
        EXPECT_EQ(paint.drawnIn, view->viewport());
        EXPECT_FALSE(paint.postedEventRan);
        positions.push_back(paint.position);
    }
    // The computation's box from 0 to 50, then the colouring's from 50 on (each box
    // is first painted empty, as it is shown, before its bar is set).
    const auto colouring = std::find(positions.begin(), positions.end(), 50) + 1;
    ASSERT_LT(colouring - positions.begin(), std::ptrdiff_t(positions.size()));
    EXPECT_TRUE(std::is_sorted(positions.begin(), colouring));
    std::vector<int> second(colouring, positions.end());
    std::erase(second, 0);
    EXPECT_TRUE(std::is_sorted(second.begin(), second.end()));
    for (int seen : {0, 25, 49, 50, 75, 99})
        EXPECT_TRUE(std::find(positions.begin(), positions.end(), seen) != positions.end()) << seen;
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
