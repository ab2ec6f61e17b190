#include "CAboutDlg.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>

#include "DialogUnits.h"
#include "ModalFrame.h"

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent ? parent : QApplication::activeWindow(), Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
{
    ModalFrame::Apply(this);
    setWindowTitle(QStringLiteral("A propos de Lumivex..."));
    setFont(DialogUnits::TemplateFont());
    const DialogUnits du(font());
    setFixedSize(du.Size(235, 55));

    auto* icon = new QLabel(this);
    icon->setObjectName("IDR_MAINFRAME");
    icon->setPixmap(QApplication::windowIcon().pixmap(32, 32));
    du.Place(icon, 16, 17, 21, 20);
    auto* text = new QLabel(QStringLiteral("Lumivex version 1.0"), this);
    text->setTextFormat(Qt::PlainText);
    du.Place(text, 60, 16, 119, 8);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName("IDOK");
    ok->setDefault(true);
    du.Place(ok, 178, 34, 50, 14);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

int CAboutDlg::DoModal() { return exec() == QDialog::Accepted ? 1 : 2; }
