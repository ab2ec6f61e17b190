#include "DialogUnits.h"

#include <QFontMetrics>
#include <QWidget>

DialogUnits::DialogUnits(const QFont& font)
{
    const QFontMetrics metrics(font);
    const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    m_baseX = (metrics.horizontalAdvance(alphabet) / 26 + 1) / 2;
    m_baseY = metrics.height();
}

QFont DialogUnits::TemplateFont()
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    return font;
}

QRect DialogUnits::Rect(int x, int y, int width, int height) const
{
    return {x * m_baseX / 4, y * m_baseY / 8, width * m_baseX / 4, height * m_baseY / 8};
}

QSize DialogUnits::Size(int width, int height) const { return {width * m_baseX / 4, height * m_baseY / 8}; }

void DialogUnits::Place(QWidget* widget, int x, int y, int width, int height) const
{
    widget->setGeometry(Rect(x, y, width, height));
}
