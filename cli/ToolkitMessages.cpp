#include "ToolkitMessages.h"

#include <QtGlobal>
#include <cstdio>

namespace {
void DropUnlessFatal(QtMsgType type, const QMessageLogContext&, const QString&)
{
    if (type != QtFatalMsg)
        return;
    // Qt ends the program once this returns.
    std::fputs("nivo: erreur fatale de la bibliothèque Qt\n", stderr);
}
} // namespace

void SilenceToolkitMessages() { qInstallMessageHandler(DropUnlessFatal); }
