#include <gtest/gtest.h>

#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QStyleFactory>
#include <QStyleOption>
#include <memory>

#include "app/ToolbarStyle.h"

namespace {
bool ImagePluginLoaded()
{
    QFile maps("/proc/self/maps");
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("/imageformats/");
}

// Every size the icon offers, with the pixels drawn at that size.
void ExpectSameIcon(const QIcon& ours, const QIcon& qts)
{
    ASSERT_FALSE(qts.availableSizes().isEmpty());
    ASSERT_EQ(ours.availableSizes(), qts.availableSizes());
    for (const QSize& size : qts.availableSizes())
        EXPECT_EQ(ours.pixmap(size).toImage(), qts.pixmap(size).toImage()) << size.width() << "x" << size.height();
}

// Runs in a process of its own: nothing before it has read an image.
TEST(ToolbarStyle, ReadsTheExtensionArrowsWithoutLoadingImagePlugins)
{
    ToolbarStyle style("fusion");
    const QIcon horizontal = style.standardIcon(QStyle::SP_ToolBarHorizontalExtensionButton, nullptr, nullptr);
    const QIcon vertical = style.standardIcon(QStyle::SP_ToolBarVerticalExtensionButton, nullptr, nullptr);
    EXPECT_FALSE(horizontal.pixmap(16, 10).isNull());
    EXPECT_FALSE(vertical.pixmap(10, 16).isNull());
    EXPECT_FALSE(ImagePluginLoaded());
}

TEST(ToolbarStyle, ArrowsAreQtsOwnInBothDirections)
{
    ToolbarStyle style("fusion");
    std::unique_ptr<QStyle> fusion(QStyleFactory::create("fusion"));
    QStyleOption option;
    for (Qt::LayoutDirection direction : {Qt::LeftToRight, Qt::RightToLeft}) {
        option.direction = direction;
        for (QStyle::StandardPixmap icon : {QStyle::SP_ToolBarHorizontalExtensionButton, QStyle::SP_ToolBarVerticalExtensionButton})
            ExpectSameIcon(style.standardIcon(icon, &option, nullptr), fusion->standardIcon(icon, &option, nullptr));
    }
    // Without an option the application's direction decides.
    QGuiApplication::setLayoutDirection(Qt::RightToLeft);
    ExpectSameIcon(style.standardIcon(QStyle::SP_ToolBarHorizontalExtensionButton, nullptr, nullptr),
                   fusion->standardIcon(QStyle::SP_ToolBarHorizontalExtensionButton, nullptr, nullptr));
    QGuiApplication::setLayoutDirection(Qt::LeftToRight);
}

TEST(ToolbarStyle, OtherStylesKeepTheirOwnArrows)
{
    ToolbarStyle style("windows");
    std::unique_ptr<QStyle> windows(QStyleFactory::create("windows"));
    ExpectSameIcon(style.standardIcon(QStyle::SP_ToolBarHorizontalExtensionButton, nullptr, nullptr),
                   windows->standardIcon(QStyle::SP_ToolBarHorizontalExtensionButton, nullptr, nullptr));
    ExpectSameIcon(style.standardIcon(QStyle::SP_DialogOkButton, nullptr, nullptr),
                   windows->standardIcon(QStyle::SP_DialogOkButton, nullptr, nullptr));
}
} // namespace
