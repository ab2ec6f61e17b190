#pragma once
// Answers modal dialogs from tests: `step` runs on the next one that opens.
#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>

inline void OnNextModal(std::function<void(QWidget*)> step)
{
    QTimer::singleShot(0, [step] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) {
            OnNextModal(step);
            return;
        }
        step(modal);
    });
}
