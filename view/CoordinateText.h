#pragma once
// "x: %0.10f"-style status texts, always with a point and never longer than
// the 24 characters a pane text may hold.
#include <string>

std::string CoordinateText(const char* label, double value);
