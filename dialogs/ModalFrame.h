#pragma once
// The frame of every modal dialog: a title and a close box, nothing to
// minimise or maximise (minimising one would take the application with it).
#include <QString>

class QDialog;
class QWidget;

namespace ModalFrame {
// Gives `dialog` that frame. Where the window manager offers minimising all
// the same, the dialog and its owner come straight back.
void Apply(QDialog* dialog);

// A warning box in that frame, with one OK button; returns once it is closed.
void Warn(QWidget* owner, const QString& caption, const QString& text);
} // namespace ModalFrame
