#pragma once
// The toolbar's 16 x 15 button images and the application icon, drawn in code.
#include <QIcon>
#include <QImage>

// Button 1 to 5: the set, a folder, a diskette, a printer, a question mark.
QImage ToolbarImage(int button);
QIcon ApplicationIcon();
