#pragma once
// The frame of every modal dialog: a title and a close box, nothing to
// minimise or maximise (minimising one would take the application with it).
#include <QString>
#include <Qt>

class QWidget;

namespace ModalFrame {
inline constexpr Qt::WindowFlags kFlags =
    Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint;

// A warning box in that frame, with one OK button; returns once it is closed.
void Warn(QWidget* owner, const QString& caption, const QString& text);
} // namespace ModalFrame
