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

    // Makes this dialog the one that AVISaveOptions shows, and tells the user
    // in a message box when the video module cannot be loaded.
    static void Register(QWidget* mainWindow);

private:
    void ShowQuality();

    QComboBox* m_compressor;
    QSlider* m_quality;
};
