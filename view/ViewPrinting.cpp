// The view's printing: one page, one printer dot per picture pixel, drawn by OnDraw.
#include <QMainWindow>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <algorithm>
#include <cerrno>
#include <memory>
#include <new>

#include "CNivoView.h"
#include "PrintPreview.h"
#include "PrintToFile.h"
#include "dialogs/ModalFrame.h"
#include "platform/qt/PainterDC.h"

namespace {
QString PrintFileCause(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return QString::fromUtf8("disque plein");
    case EROFS:
    case EACCES:
    case EPERM:
        return QString::fromUtf8("écriture refusée");
    case EFBIG:
        return QString::fromUtf8("fichier plus grand que la taille permise");
    case ENOMEM:
        return QString::fromUtf8("mémoire insuffisante");
    default:
        return QString::fromUtf8("erreur d'écriture");
    }
}
} // namespace

bool CNivoView::OnPreparePrinting(QPrinter& printer)
{
    QPrintDialog dialog(&printer, this);
    dialog.setOption(QAbstractPrintDialog::PrintToFile);
    dialog.setMinMax(1, 1);
    return dialog.exec() == QDialog::Accepted;
}

bool CNivoView::PrintPage(QPrinter& printer)
{
    if (printer.outputFileName().isEmpty()) {
        try {
            return PaintPage(printer);
        } catch (const std::bad_alloc&) {
            m_printFileError = ENOMEM;
            return false;
        }
    }
    m_printFileError = PrintToStagedFile(printer, [this](QPrinter& staged) { return PaintPage(staged); });
    return m_printFileError == 0;
}

// Qt's PDF writer can run out of memory while it takes the picture or ends
// the page. The painter is ended here, never by its destructor, which could
// only abort the program; should even the end find no memory, the painter is
// left as it is. The lack of memory then goes on to the caller.
bool CNivoView::PaintPage(QPrinter& printer)
{
    OnBeginPrinting();
    auto painter = std::make_unique<QPainter>();
    if (!painter->begin(&printer))
        return false;
    // The picture goes onto the page as it is, never through JPEG.
    painter->setRenderHint(QPainter::LosslessImageRendering);
    // Where the printer makes no copies itself (a PDF file), each is a page of its own.
    const int copies = printer.supportsMultipleCopies() ? 1 : std::max(1, printer.copyCount());
    bool drawn = true;
    bool paged = true;
    try {
        PainterDC dc(painter.get());
        for (int copy = 0; copy < copies && paged; ++copy) {
            paged = copy == 0 || printer.newPage();
            if (paged)
                OnDraw(&dc);
        }
    } catch (const std::bad_alloc&) {
        drawn = false;
    }
    bool printed = false;
    try {
        printed = painter->end();
    } catch (const std::bad_alloc&) {
        painter.release();
        throw;
    }
    OnEndPrinting();
    if (!drawn)
        throw std::bad_alloc();
    return printed && paged;
}

void CNivoView::FilePrint()
{
    if (!m_printer || !OnPreparePrinting(*m_printer()))
        return;
    m_printFileError = 0;
    if (PrintPage(*m_printer()))
        return;
    // A folder for a file name (as offered where there is no printer) prints nowhere.
    if (m_printFileError == ENOMEM && m_printer()->outputFileName().isEmpty())
        ModalFrame::Warn(this, QStringLiteral("nivo"), QString::fromUtf8("Impossible d'imprimer : mémoire insuffisante."));
    else if (m_printFileError != 0 && m_printFileError != EISDIR)
        ModalFrame::Warn(this, QStringLiteral("nivo"),
                         QString::fromUtf8("Impossible d'écrire « %1 » (%2) ; l'ancien fichier est conservé.")
                             .arg(m_printer()->outputFileName(), PrintFileCause(m_printFileError)));
    else
        ModalFrame::Warn(this, QStringLiteral("nivo"), QString::fromUtf8("Impossible d'imprimer : aucune imprimante n'est disponible."));
}

bool CNivoView::FilePrintDirect() { return m_printer && PrintPage(*m_printer()); }

void CNivoView::FilePrintPreview()
{
    auto* frame = qobject_cast<QMainWindow*>(window());
    if (m_printer && frame && frame->centralWidget() == this)
        PrintPreview::Open(*frame, *this, *m_printer());
}

