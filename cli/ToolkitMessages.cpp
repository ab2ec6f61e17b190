#include "ToolkitMessages.h"

#include <QString>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>

namespace {
void DropUnlessFatal(QtMsgType type, const QMessageLogContext&, const QString&)
{
    if (type != QtFatalMsg)
        return;
    // Qt ends the program once this returns.
    std::fputs("nivo: erreur fatale de la bibliothèque Qt\n", stderr);
}

QtMessageHandler g_qtHandler = nullptr;

void ExplainFatalPlatform(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtFatalMsg && message.contains("platform plugin")) {
        std::fputs("nivo: aucun affichage ne peut recevoir la fenêtre (DISPLAY ou WAYLAND_DISPLAY) ; "
                   "--render et --movie s'en passent\n",
                   stderr);
        std::_Exit(1);
    }
    if (g_qtHandler)
        g_qtHandler(type, context, message);
}
} // namespace

void SilenceToolkitMessages() { qInstallMessageHandler(DropUnlessFatal); }

void ExplainMissingDisplay() { g_qtHandler = qInstallMessageHandler(ExplainFatalPlatform); }
