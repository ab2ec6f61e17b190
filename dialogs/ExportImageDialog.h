#pragma once
// The save dialog of the image export. Each entry shows its description as
// written and lists files by its own pattern: Qt would read the patterns out
// of the description's parentheses, where "(*.jpeg, *.jpg)" gives "*.jpeg,".
#include <QFileDialog>

class ExportImageDialog : public QFileDialog {
public:
    explicit ExportImageDialog(QWidget* parent, const QString& folder);

private:
    void UseEntry(int index);
};
