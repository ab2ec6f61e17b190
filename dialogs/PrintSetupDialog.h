#pragma once
// The printer set-up: which printer, which paper, which orientation. It only
// chooses; the choice goes to the printer object that later prints and
// previews use, and nothing is printed here.
#include <QDialog>

class QComboBox;
class QPrinter;
class QRadioButton;

class PrintSetupDialog : public QDialog {
public:
    PrintSetupDialog(QPrinter& printer, QWidget* parent);

    // Runs the dialog; on OK the choice is given to the printer.
    bool DoModal();

private:
    void AddPrinters();
    void AddPaperSizes();
    void Apply();

    QPrinter& m_printer;
    QComboBox* m_printerName;
    QComboBox* m_paper;
    QRadioButton* m_portrait;
    QRadioButton* m_landscape;
};
