#pragma once
// The application's style with the tool bar's extension arrows read as the
// PNG files they are. Qt's own style reads them with format detection, which
// loads every image plugin (and libtiff, libwebp, libjpeg...) while the first
// tool bar is built; the arrows drawn are the same. Other styles (a
// desktop's own) keep theirs.
#include <QProxyStyle>
#include <initializer_list>

class ToolbarStyle : public QProxyStyle {
public:
    // Wraps a new instance of the style named `key` (the application's own).
    explicit ToolbarStyle(const QString& key);

    QIcon standardIcon(StandardPixmap icon, const QStyleOption* option, const QWidget* widget) const override;

private:
    static QIcon ExtensionIcon(const QString& stem, std::initializer_list<int> sizes);

    bool m_readsArrows;
};
