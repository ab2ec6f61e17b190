#pragma once
// The parameters dialog: iteration limit, centre, zoom and click factor.
// It knows nothing of the view; the caller copies values in and out.
#include <QDialog>
#include <cstdint>

class QLineEdit;

class CParamDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int IDOK = 1;
    static constexpr int IDCANCEL = 2;

    explicit CParamDlg(QWidget* parent = nullptr);

    // 1 when confirmed with every field valid, 2 otherwise.
    int DoModal();
    void accept() override;

    std::int32_t m_iterations = 0;
    double m_centerX = 0;
    double m_centerY = 0;
    double m_zoom = 0;
    double m_clickZoom = 0;

private:
    void BuildControls();
    void ShowValues();
    bool ReadValues();
    bool ReadDouble(QLineEdit* field, double& member);
    void RefuseField(QLineEdit* field, const QString& message);

    QLineEdit* m_iterationsEdit = nullptr;
    QLineEdit* m_centerXEdit = nullptr;
    QLineEdit* m_centerYEdit = nullptr;
    QLineEdit* m_zoomEdit = nullptr;
    QLineEdit* m_clickZoomEdit = nullptr;
};
