#pragma once
// A file name as a terminal can show it: when it is not UTF-8, its bytes
// past ASCII as \xNN.
#include <QByteArray>

QByteArray PrintableName(const char* name);
