#pragma once
// Where the program's other top-level windows (dialogs, menus) closed: until
// the window under them repaints, the screen there may still show them, and
// a render, which handles no events, would leave them there for its whole
// length. Restore() shows a window's own pixels there again, from its
// backing store, without painting anything.
#include <QObject>
#include <QRegion>

class QWidget;

class VacatedAreas : public QObject {
public:
    // Watches every window of the application from now on.
    VacatedAreas();

    void Restore(QWidget& window) const;
    void Forget() { m_areas = QRegion(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // In screen coordinates, frames included.
    QRegion m_areas;
};
