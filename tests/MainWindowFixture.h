// The whole application in this process, its main window, and what the
// tests of its window and of its dialogs share.
#pragma once
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

CNivoApp& App() { return *static_cast<CNivoApp*>(QCoreApplication::instance()); }

// A modal frame: title and close box, nothing that minimises or maximises.
inline void ExpectModalFrame(const QWidget* dialog)
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
inline void OnCompressionDialog(std::function<void(QDialog*)> step)
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

inline QImage Picture(const CDibImage& image)
{
    QImage picture(image.m_width, image.m_height, QImage::Format_RGB888);
    for (int r = 0; r < picture.height(); ++r)
        for (int c = 0; c < picture.width(); ++c) {
            const BYTE* p = image.m_topRow + r * image.m_pitch + c * 3;
            picture.setPixel(c, r, qRgb(p[2], p[1], p[0]));
        }
    return picture;
}

inline int VisibleCompressionDialogs()
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
