#include "PrintSetupDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ModalFrame.h"

PrintSetupDialog::PrintSetupDialog(QPrinter& printer, QWidget* parent)
    : QDialog(parent), m_printer(printer), m_printerName(new QComboBox),
      m_paper(new QComboBox), m_portrait(new QRadioButton(QStringLiteral("Portrait"))),
      m_landscape(new QRadioButton(QStringLiteral("Paysage")))
{
    ModalFrame::Apply(this);
    setObjectName("PrintSetupDialog");
    setWindowTitle(QString::fromUtf8("Configuration de l'impression"));
    m_printerName->setObjectName("PrinterName");
    m_paper->setObjectName("PaperSize");
    m_portrait->setObjectName("Portrait");
    m_landscape->setObjectName("Landscape");
    AddPrinters();
    AddPaperSizes();
    (m_printer.pageLayout().orientation() == QPageLayout::Landscape ? m_landscape : m_portrait)->setChecked(true);

    auto* printerBox = new QGroupBox(QStringLiteral("Imprimante"));
    auto* printerForm = new QFormLayout(printerBox);
    printerForm->addRow(QStringLiteral("Nom :"), m_printerName);
    auto* paperBox = new QGroupBox(QStringLiteral("Papier"));
    auto* paperForm = new QFormLayout(paperBox);
    paperForm->addRow(QStringLiteral("Taille :"), m_paper);
    auto* orientationBox = new QGroupBox(QStringLiteral("Orientation"));
    auto* orientation = new QVBoxLayout(orientationBox);
    orientation->addWidget(m_portrait);
    orientation->addWidget(m_landscape);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(printerBox);
    layout->addWidget(paperBox);
    layout->addWidget(orientationBox);
    layout->addWidget(buttons);
    // Wide enough for the whole title in the frame.
    setMinimumWidth(fontMetrics().horizontalAdvance(windowTitle()) + 160);
}

void PrintSetupDialog::AddPrinters()
{
    const QStringList names = QPrinterInfo::availablePrinterNames();
    if (names.isEmpty()) {
        // Nothing to choose: the printer keeps what it has (a file, for one).
        m_printerName->addItem(QStringLiteral("Aucune imprimante"));
        m_printerName->setEnabled(false);
        return;
    }
    m_printerName->addItems(names);
    const QString current =
        m_printer.printerName().isEmpty() ? QPrinterInfo::defaultPrinterName() : m_printer.printerName();
    m_printerName->setCurrentIndex(std::max(0, int(names.indexOf(current))));
}

void PrintSetupDialog::AddPaperSizes()
{
    const QPageSize::PageSizeId sizes[] = {QPageSize::A3,     QPageSize::A4,    QPageSize::A5,       QPageSize::B5,
                                           QPageSize::Letter, QPageSize::Legal, QPageSize::Executive};
    for (QPageSize::PageSizeId id : sizes)
        m_paper->addItem(QPageSize::name(id), int(id));
    // A paper outside the list shows as A4.
    const int current = m_paper->findData(int(m_printer.pageLayout().pageSize().id()));
    m_paper->setCurrentIndex(current >= 0 ? current : m_paper->findData(int(QPageSize::A4)));
}

bool PrintSetupDialog::DoModal()
{
    if (exec() != QDialog::Accepted)
        return false;
    Apply();
    return true;
}

void PrintSetupDialog::Apply()
{
    if (m_printerName->isEnabled())
        m_printer.setPrinterName(m_printerName->currentText());
    m_printer.setPageSize(QPageSize(QPageSize::PageSizeId(m_paper->currentData().toInt())));
    m_printer.setPageOrientation(m_landscape->isChecked() ? QPageLayout::Landscape : QPageLayout::Portrait);
}
