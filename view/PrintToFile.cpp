#include "PrintToFile.h"

#include <QFile>
#include <QPrinter>
#include <cerrno>
#include <new>
#include <string>

#include "platform/StagedFile.h"

namespace {
// Qt's PDF writer does not report a failed write: a PDF that does not end
// with its end-of-file mark was cut short.
bool EndsWholly(const QString& file)
{
    QFile written(file);
    if (!written.open(QIODevice::ReadOnly) || written.size() < 6 || !written.seek(written.size() - 7))
        return false;
    return written.read(7).trimmed().endsWith("%%EOF");
}
} // namespace

int PrintToStagedFile(QPrinter& printer, const std::function<bool(QPrinter&)>& paint)
{
    const QString target = printer.outputFileName();
    StagedFile staged;
    if (!staged.Open(QFile::encodeName(target).toStdString()))
        return staged.Error();
    // The printer writes the staged file through the name /proc gives it;
    // the format stays as chosen, for the name has no suffix.
    const QString reachable = QString::fromStdString(staged.ReachableName());
    printer.setOutputFileName(reachable);
    bool painted = false;
    try {
        painted = paint(printer);
    } catch (const std::bad_alloc&) {
        // Qt's PDF writer holds the page's picture whole; the old file stays.
        printer.setOutputFileName(target);
        return ENOMEM;
    }
    printer.setOutputFileName(target);
    if (!painted || !EndsWholly(reachable))
        return EIO;
    return staged.Commit() ? 0 : staged.Error();
}
