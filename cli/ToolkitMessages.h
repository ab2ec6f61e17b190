#pragma once
// Qt's own warnings are in English and meant for developers ("QPainter::
// begin(): Returned false", "XDG_RUNTIME_DIR not set"). On the command line
// the program says every outcome itself, in French, so they are dropped;
// a fatal one still ends the program, with a word in French.
void SilenceToolkitMessages();
// For the window: where no display can take it, the program says so in
// French and ends with status 1, instead of Qt's English abort.
void ExplainMissingDisplay();
