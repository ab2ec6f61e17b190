#pragma once
// The compression options dialog: which compressor writes the video, and
// its quality where it has one.
#include <QDialog>

#include "platform/Vfw.h"

class QComboBox;
class QSlider;

class CompressionDialog : public QDialog {
    Q_OBJECT

public:
    CompressionDialog(QWidget* parent, const AVICOMPRESSOPTIONS& options);
    void Store(AVICOMPRESSOPTIONS& options) const;
    // Shows the dialog without blocking the other windows and waits for its
    // answer; on OK the choice is stored into `options`.
    bool Choose(AVICOMPRESSOPTIONS& options);

    // Makes this dialog the one that AVISaveOptions shows (without an owner),
    // and tells the user over `mainWindow` when the video module cannot be loaded.
    static void Register(QWidget* mainWindow);

private:
    void ShowQuality();

    QComboBox* m_compressor;
    QSlider* m_quality;
};
