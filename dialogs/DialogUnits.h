#pragma once
// Dialog templates are laid out in dialog units: a quarter of the font's
// average character width across, an eighth of its height down.
#include <QFont>
#include <QRect>

class QWidget;

class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);
    // The templates were drawn for a narrow 8-point sans serif; an Arial-like
    // face keeps every text inside the box it was given.
    static QFont TemplateFont();
    QRect Rect(int x, int y, int width, int height) const;
    QSize Size(int width, int height) const;
    void Place(QWidget* widget, int x, int y, int width, int height) const;

private:
    int m_baseX;
    int m_baseY;
};
