#pragma once
// The options that --deep reads differently: a centre and a zoom kept as the
// decimal texts they are, and a higher iteration limit.
#include <QString>

struct CommandLine;

// Stores the value of --iterations, --center (--centre) or --zoom; returns why it was refused, or an empty text.
QString ReadDeepOption(const QString& option, const QString& value, CommandLine& line);

// Whether the window's doubles can no longer tell the pixels of this view apart at `zoom`.
bool BeyondTheDoubles(const CommandLine& line, double zoom);

// Why the picture of this command line could not be made: with --deep, the
// reference orbit and its runs grow with the limit, which is named too.
QString NoRoomMessage(const CommandLine& line);
