#include "ImageExport.h"

#include <QDir>
#include <QFileInfo>

#include "dialogs/ExportImageDialog.h"
#include "dialogs/ModalFrame.h"
#include "render/CDibImage.h"

namespace {
void ReportFailure(QWidget* parent)
{
    ModalFrame::Warn(parent, QStringLiteral("Erreur"), QString::fromUtf8("Erreur lors de l'enregistrement de l'image."));
}
} // namespace

void ImageExport::SaveAs(QWidget* parent, CDibImage* const& image, std::string& lastPath)
{
    // Start where the last export went, or in the current folder.
    ExportImageDialog dialog(parent, lastPath.empty() ? QDir::currentPath()
                                                      : QFileInfo(QString::fromStdString(lastPath)).absolutePath());
    if (dialog.exec() != QDialog::Accepted || !image || dialog.selectedFiles().isEmpty())
        return;
    const std::string path = dialog.selectedFiles().first().toStdString();
    if (image->Save(path.c_str()) == E_FAIL) {
        ReportFailure(parent);
        return;
    }
    lastPath = path;
}

void ImageExport::Save(QWidget* parent, CDibImage* const& image, std::string& lastPath)
{
    if (lastPath.empty() || !image) {
        SaveAs(parent, image, lastPath);
        return;
    }
    if (image->Save(lastPath.c_str()) == E_FAIL)
        ReportFailure(parent);
}
