#include "CompressionDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QFormLayout>
#include <QLabel>
#include <QPointer>
#include <QSlider>

#include "ModalFrame.h"
#include "platform/AviModule.h"

CompressionDialog::CompressionDialog(QWidget* parent, const AVICOMPRESSOPTIONS& options)
    : QDialog(parent), m_compressor(new QComboBox(this)), m_quality(new QSlider(Qt::Horizontal, this))
{
    setObjectName("CompressionDialog");
    setWindowTitle(QString::fromUtf8("Compression vidéo"));
    m_compressor->setObjectName("Compressor");
    m_quality->setObjectName("Quality");
    const VideoCompressor* start = FindCompressor(options.fccHandler);
    for (const VideoCompressor& c : AvailableCompressors()) {
        m_compressor->addItem(QString::fromUtf8(c.name), QVariant::fromValue(uint(c.fccHandler)));
        if (&c == start)
            m_compressor->setCurrentIndex(m_compressor->count() - 1);
    }
    m_quality->setRange(0, 100);
    m_quality->setValue(options.dwQuality ? int(options.dwQuality / 100) : 75);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_compressor, &QComboBox::currentIndexChanged, this, &CompressionDialog::ShowQuality);

    auto* form = new QFormLayout(this);
    form->addRow(QString::fromUtf8("Compresseur :"), m_compressor);
    form->addRow(QString::fromUtf8("Qualité :"), m_quality);
    form->addRow(buttons);
    ShowQuality();
}

void CompressionDialog::ShowQuality()
{
    const VideoCompressor* c = FindCompressor(m_compressor->currentData().toUInt());
    m_quality->setEnabled(c && c->hasQuality);
}

void CompressionDialog::Store(AVICOMPRESSOPTIONS& options) const
{
    options.fccType = streamtypeVIDEO;
    options.fccHandler = m_compressor->currentData().toUInt();
    const VideoCompressor* c = FindCompressor(options.fccHandler);
    options.dwQuality = c && c->hasQuality ? DWORD(m_quality->value() * 100) : 0;
}

bool CompressionDialog::Choose(AVICOMPRESSOPTIONS& options)
{
    // Not modal: the main window stays usable and its commands are handled
    // while the choice is made. This loop runs inside the video export, before
    // any frame is written, never inside a render.
    QEventLoop loop;
    connect(this, &QDialog::finished, &loop, &QEventLoop::quit);
    setWindowModality(Qt::NonModal);
    show();
    raise();
    activateWindow();
    loop.exec(QEventLoop::DialogExec);
    if (result() != QDialog::Accepted)
        return false;
    Store(options);
    return true;
}

void CompressionDialog::Register(QWidget* mainWindow)
{
    QPointer<QWidget> owner(mainWindow);
    SetSaveOptionsPrompt([](HWND, AVICOMPRESSOPTIONS& options) {
        // No owner window, as the export gives none.
        CompressionDialog dialog(nullptr, options);
        return dialog.Choose(options);
    });
    AviModule::SetNotice([owner](const std::string& message) {
        ModalFrame::Warn(owner.data(), QStringLiteral("nivo"), QString::fromStdString(message));
    });
}
