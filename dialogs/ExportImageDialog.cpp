#include "ExportImageDialog.h"

#include <QFileSystemModel>
#include <QLineEdit>
#include <iterator>

namespace {
struct Entry {
    const char* description;
    const char* pattern;
    const char* suffix; // given to a name typed without extension
};

constexpr Entry kEntries[] = {
    {"PNG Files (*.png)", "*.png", "png"},
    {"JPEG Files (*.jpeg, *.jpg)", "*.jp*", "jpg"},
    {"BMP Files (*.bmp)", "*.bmp", "bmp"},
};

int EntryIndex(const QString& description)
{
    for (int i = 0; i < int(std::size(kEntries)); ++i)
        if (description == QLatin1String(kEntries[i].description))
            return i;
    return 0;
}
} // namespace

ExportImageDialog::ExportImageDialog(QWidget* parent, const QString& folder) : QFileDialog(parent)
{
    setObjectName("ExportImageDialog");
    setAcceptMode(QFileDialog::AcceptSave);
    setFileMode(QFileDialog::AnyFile);
    setOption(QFileDialog::DontUseNativeDialog);
    setDirectory(folder);
    QStringList descriptions;
    for (const Entry& entry : kEntries)
        descriptions << QLatin1String(entry.description);
    setNameFilters(descriptions);
    // Qt applies its own reading of the entry first, then this corrects it.
    connect(this, &QFileDialog::filterSelected, this, [this](const QString& filter) { UseEntry(EntryIndex(filter)); });
    UseEntry(0);
}

void ExportImageDialog::UseEntry(int index)
{
    const Entry& entry = kEntries[index];
    setDefaultSuffix(QLatin1String(entry.suffix));
    if (auto* files = findChild<QFileSystemModel*>())
        files->setNameFilters({QLatin1String(entry.pattern)});
    // Qt gave a typed extension the one it read from the description; give it the entry's.
    if (auto* name = findChild<QLineEdit*>("fileNameEdit")) {
        const QString text = name->text();
        const qsizetype dot = text.lastIndexOf('.');
        if (dot > 0 && !text.mid(dot).contains('/'))
            name->setText(text.left(dot + 1) + QLatin1String(entry.suffix));
    }
}
