// The view's printing: one page, one printer dot per picture pixel, drawn by OnDraw.
#include <QMainWindow>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>

#include "CNivoView.h"
#include "PrintPreview.h"
#include "dialogs/ModalFrame.h"
#include "platform/qt/PainterDC.h"

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

