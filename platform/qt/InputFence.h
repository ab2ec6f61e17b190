#pragma once
// Tells the presses made before a moment from those made after it, in the
// order the X server delivers them. A render handles no events: presses made
// while it runs arrive once it is over, aimed at what the screen showed then
// (a dialog that had closed, or the old picture), not at the new picture.
#include <QAbstractNativeEventFilter>
#include <cstdint>

class QInputEvent;
class QWidget;

class InputFence : public QAbstractNativeEventFilter {
public:
    static InputFence& Instance();

    // Every press made until now, on any window of the program, is stale.
    // `window` is one of its top-level windows. Nothing is stale on a platform
    // other than X11.
    void Raise(const QWidget& window);
    bool IsStale(const QInputEvent& event) const;

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr* result) override;

private:
    std::uint32_t m_atom = 0;
    // Raised, and the server's time of it not known yet.
    bool m_pending = false;
    bool m_known = false;
    std::uint32_t m_time = 0;
};
