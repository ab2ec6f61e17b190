#include "CParamDlg.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <cmath>

#include "DialogUnits.h"
#include "ModalFrame.h"
#include "NumberText.h"

namespace {
QLineEdit* NewEdit(QWidget* parent, const char* name)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    return edit;
}
} // namespace

CParamDlg::CParamDlg(QWidget* parent)
    : QDialog(parent ? parent : QApplication::activeWindow(), Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
{
    ModalFrame::Apply(this);
    setWindowTitle(QString::fromUtf8("Paramètres de mandelbrot"));
    BuildControls();
}

void CParamDlg::BuildControls()
{
    setFont(DialogUnits::TemplateFont());
    const DialogUnits du(font());
    setFixedSize(du.Size(221, 182));

    // Group boxes first so that they stay beneath the fields they frame.
    auto* upper = new QGroupBox(QString::fromUtf8("Paramètres de Mandelbrot :"), this);
    du.Place(upper, 14, 7, 193, 76);
    auto* lower = new QGroupBox(QString::fromUtf8("Bornes centrées sur :"), this);
    du.Place(lower, 13, 85, 194, 62);

    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("IDOK");
    ok->setDefault(true);
    du.Place(ok, 52, 161, 50, 14);
    auto* cancel = new QPushButton("Cancel", this);
    cancel->setObjectName("IDCANCEL");
    du.Place(cancel, 118, 161, 50, 14);
    connect(ok, &QPushButton::clicked, this, &CParamDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CParamDlg::reject);

    du.Place(new QLabel(QString::fromUtf8("Nombre d'itérations :"), this), 17, 26, 67, 8);
    m_iterationsEdit = NewEdit(this, "IDC_ITERATIONS");
    m_iterationsEdit->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), m_iterationsEdit));
    du.Place(m_iterationsEdit, 86, 23, 117, 12);
    du.Place(new QLabel("X :", this), 65, 101, 15, 8);
    du.Place(new QLabel("Y :", this), 65, 126, 15, 8);
    // As wide as the other fields: room for the longest number shown, -1.23456789012345e-308.
    m_centerXEdit = NewEdit(this, "IDC_CENTER_X");
    du.Place(m_centerXEdit, 82, 99, 117, 12);
    m_centerYEdit = NewEdit(this, "IDC_CENTER_Y");
    du.Place(m_centerYEdit, 82, 125, 117, 12);
    du.Place(new QLabel("Zoom :", this), 17, 46, 23, 11);
    m_zoomEdit = NewEdit(this, "IDC_ZOOM");
    du.Place(m_zoomEdit, 86, 47, 117, 12);
    du.Place(new QLabel("Zoom clic :", this), 17, 67, 36, 11);
    m_clickZoomEdit = NewEdit(this, "IDC_CLICK_ZOOM");
    du.Place(m_clickZoomEdit, 86, 67, 117, 12);

    for (QLabel* label : findChildren<QLabel*>())
        label->setFocusPolicy(Qt::NoFocus);
    setTabOrder(ok, cancel);
    setTabOrder(cancel, m_iterationsEdit);
    setTabOrder(m_iterationsEdit, m_centerXEdit);
    setTabOrder(m_centerXEdit, m_centerYEdit);
    setTabOrder(m_centerYEdit, m_zoomEdit);
    setTabOrder(m_zoomEdit, m_clickZoomEdit);
}

int CParamDlg::DoModal()
{
    ShowValues();
    return exec() == QDialog::Accepted ? IDOK : IDCANCEL;
}

void CParamDlg::ShowValues()
{
    m_iterationsEdit->setText(QString::fromStdString(FormatInteger(m_iterations)));
    m_centerXEdit->setText(QString::fromStdString(FormatDouble(m_centerX)));
    m_centerYEdit->setText(QString::fromStdString(FormatDouble(m_centerY)));
    m_zoomEdit->setText(QString::fromStdString(FormatDouble(m_zoom)));
    m_clickZoomEdit->setText(QString::fromStdString(FormatDouble(m_clickZoom)));
    // Long numbers open on their first digits (and sign), not scrolled to their end.
    for (QLineEdit* field : {m_iterationsEdit, m_centerXEdit, m_centerYEdit, m_zoomEdit, m_clickZoomEdit})
        field->setCursorPosition(0);
}

void CParamDlg::accept()
{
    if (ReadValues())
        QDialog::accept();
}

bool CParamDlg::ReadValues()
{
    const auto iterations = ParseInteger(m_iterationsEdit->text().toStdString());
    if (!iterations) {
        RefuseField(m_iterationsEdit, QStringLiteral("Entrez un entier."));
        return false;
    }
    m_iterations = *iterations;
    return ReadDouble(m_centerXEdit, m_centerX) && ReadDouble(m_centerYEdit, m_centerY) &&
           ReadDouble(m_zoomEdit, m_zoom) && ReadDouble(m_clickZoomEdit, m_clickZoom);
}

bool CParamDlg::ReadDouble(QLineEdit* field, double& member)
{
    // Clicks can take the view past the doubles' range: "inf" or "nan" is no
    // number to type, but left as the dialog showed it, it keeps its value.
    if (!std::isfinite(member) && field->text().toStdString() == FormatDouble(member))
        return true;
    const auto value = ParseDouble(field->text().toStdString());
    if (!value) {
        RefuseField(field, QStringLiteral("Entrez un nombre."));
        return false;
    }
    member = *value;
    return true;
}

void CParamDlg::RefuseField(QLineEdit* field, const QString& message)
{
    ModalFrame::Warn(this, QStringLiteral("nivo"), message);
    field->setFocus();
    field->selectAll();
}
