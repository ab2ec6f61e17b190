#include "PrintPreview.h"

#include <QMainWindow>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QToolBar>
#include <QVBoxLayout>
#include <new>

#include "CNivoView.h"

PrintPreview* PrintPreview::Open(QMainWindow& frame, CNivoView& view, QPrinter& printer)
{
    auto* preview = new PrintPreview(frame, view, printer);
    frame.takeCentralWidget();
    view.hide();
    frame.setCentralWidget(preview);
    return preview;
}

PrintPreview::PrintPreview(QMainWindow& frame, CNivoView& view, QPrinter& printer)
    : m_frame(frame), m_view(view), m_pages(new QPrintPreviewWidget(&printer, this))
{
    setObjectName("PrintPreview");
    auto* bar = new QToolBar(this);
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    QAction* print = bar->addAction(QString::fromUtf8("&Imprimer..."));
    QAction* zoomIn = bar->addAction(QStringLiteral("Zoom &avant"));
    QAction* zoomOut = bar->addAction(QStringLiteral("Zoom a&rrière"));
    QAction* close = bar->addAction(QString::fromUtf8("&Fermer l'aperçu"));
    close->setObjectName("AFX_ID_PREVIEW_CLOSE");
    close->setStatusTip(QString::fromUtf8("Ferme le mode d'aperçu avant impression"));
    close->setToolTip(QString::fromUtf8("Fermer l'aperçu"));
    close->setShortcut(Qt::Key_Escape);
    connect(zoomIn, &QAction::triggered, m_pages, [this] { m_pages->zoomIn(); });
    connect(zoomOut, &QAction::triggered, m_pages, [this] { m_pages->zoomOut(); });
    connect(close, &QAction::triggered, this, &PrintPreview::Close);
    connect(print, &QAction::triggered, this, [this] {
        CNivoView& view = m_view;
        Close();
        view.FilePrint();
    });
    connect(m_pages, &QPrintPreviewWidget::paintRequested, this, [this](QPrinter* target) {
        // A page that finds no memory stays blank.
        try {
            m_view.PaintPage(*target);
        } catch (const std::bad_alloc&) {
        }
    });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(m_pages, 1);
    m_pages->fitInView();
}

void PrintPreview::Close()
{
    m_frame.takeCentralWidget();
    m_frame.setCentralWidget(&m_view);
    m_view.show();
    deleteLater();
}
