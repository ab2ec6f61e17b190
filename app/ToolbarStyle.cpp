#include "ToolbarStyle.h"

#include <QGuiApplication>
#include <QImageReader>
#include <QPixmap>
#include <QStyleOption>

namespace {
bool RightToLeft(const QStyleOption* option)
{
    return option ? option->direction == Qt::RightToLeft : QGuiApplication::layoutDirection() == Qt::RightToLeft;
}
} // namespace

ToolbarStyle::ToolbarStyle(const QString& key) : QProxyStyle(key), m_readsArrows(baseStyle()->name() == "fusion") {}

QIcon ToolbarStyle::standardIcon(StandardPixmap icon, const QStyleOption* option, const QWidget* widget) const
{
    if (!m_readsArrows)
        return QProxyStyle::standardIcon(icon, option, widget);
    if (icon == SP_ToolBarHorizontalExtensionButton)
        return ExtensionIcon(RightToLeft(option) ? "toolbar-ext-h-rtl-" : "toolbar-ext-h-", {8, 16, 32});
    if (icon == SP_ToolBarVerticalExtensionButton)
        return ExtensionIcon("toolbar-ext-v-", {5, 10, 20});
    return QProxyStyle::standardIcon(icon, option, widget);
}

// The files Qt's common style uses, one per size, read by the built-in PNG
// reader alone.
QIcon ToolbarStyle::ExtensionIcon(const QString& stem, std::initializer_list<int> sizes)
{
    QIcon icon;
    for (int size : sizes) {
        QImageReader reader(QStringLiteral(":/qt-project.org/styles/commonstyle/images/%1%2.png").arg(stem).arg(size), "png");
        reader.setAutoDetectImageFormat(false);
        icon.addPixmap(QPixmap::fromImage(reader.read()));
    }
    return icon;
}
