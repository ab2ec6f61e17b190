#pragma once
// A file name as a terminal can show it: its control characters, and when
// it is not UTF-8 its bytes past ASCII, as \xNN.
#include <QByteArray>

QByteArray PrintableName(const char* name);
