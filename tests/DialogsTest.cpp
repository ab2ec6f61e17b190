#include "MainWindowFixture.h"

#include <cmath>
#include <limits>
#include <memory>

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

// Clicks can take the view past the doubles' range; "inf" and "nan", which
// are no numbers to type, are taken back where the dialog showed them.
TEST_F(MainWindow, ValuesPastTheDoublesAreTakenBackAsShown)
{
    SetClient(200, 150);
    view->m_zoom = std::numeric_limits<double>::infinity();
    view->m_centerY = -std::numeric_limits<double>::quiet_NaN();
    const auto refused = std::make_shared<bool>(false);
    OnNextModal([refused](QWidget* modal) {
        EXPECT_EQ(modal->findChild<QLineEdit*>("IDC_ZOOM")->text(), "inf");
        EXPECT_EQ(modal->findChild<QLineEdit*>("IDC_CENTER_Y")->text(), "-nan");
        // A refusal's message box would wait for ever.
        QTimer::singleShot(0, [refused, modal] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                *refused = true;
                box->close();
                QTimer::singleShot(0, [modal] { static_cast<QDialog*>(modal)->reject(); });
            }
        });
        modal->findChild<QPushButton*>("IDOK")->click();
    });
    view->EditParameters();
    EXPECT_FALSE(*refused);
    EXPECT_EQ(view->m_history.Count(), 2u);
    EXPECT_EQ(view->m_zoom, std::numeric_limits<double>::infinity());
    EXPECT_TRUE(std::isnan(view->m_centerY));
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

TEST_F(MainWindow, ParametersAreClampedAtTheEdgesOfTheirRanges)
{
    struct Case {
        const char* iterations;
        const char* clickZoom;
        std::int32_t keptIterations;
        double keptClickZoom;
    };
    for (const Case& c : {Case {"0", "0", 1, 1.0}, Case {"1", "0.5", 1, 0.5}, Case {"1000", "-0", 1000, 1.0},
                          Case {"1001", "3", 1000, 3.0}, Case {"1024", "10", 1000, 10.0}}) {
        OnNextModal([&](QWidget* modal) {
            modal->findChild<QLineEdit*>("IDC_ITERATIONS")->setText(c.iterations);
            modal->findChild<QLineEdit*>("IDC_CLICK_ZOOM")->setText(c.clickZoom);
            modal->findChild<QPushButton*>("IDOK")->click();
        });
        view->EditParameters();
        EXPECT_EQ(view->m_iterations, c.keptIterations) << c.iterations;
        EXPECT_EQ(view->m_clickZoom, c.keptClickZoom) << c.clickZoom;
    }
}

// Every field of the parameters dialog shows the longest numbers it can hold
// whole, without scrolling.
TEST_F(MainWindow, ParameterFieldsShowTheLongestNumbersWhole)
{
    view->m_iterations = 1000;
    view->m_centerX = -0.743643887037151;
    view->m_centerY = -1.23456789012345e-308;
    view->m_zoom = -std::numeric_limits<double>::max();   // shown as -1.79769313486232e+308
    view->m_clickZoom = -0.000123456789012345;
    bool seen = false;
    OnNextModal([&seen](QWidget* modal) {
        for (const char* name : {"IDC_ITERATIONS", "IDC_CENTER_X", "IDC_CENTER_Y", "IDC_ZOOM", "IDC_CLICK_ZOOM"}) {
            auto* field = modal->findChild<QLineEdit*>(name);
            // The text area: inside the frame, less the two-pixel margins a line edit keeps.
            const int frameWidth = field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, field);
            const int room = field->width() - 2 * frameWidth - 4;
            EXPECT_LE(field->fontMetrics().horizontalAdvance(field->text()), room)
                << name << ": " << field->text().toStdString();
        }
        EXPECT_EQ(modal->findChild<QLineEdit*>("IDC_CENTER_X")->text(), "-0.743643887037151");
        seen = true;
        static_cast<QDialog*>(modal)->reject();
    });
    view->EditParameters();
    EXPECT_TRUE(seen);
}
