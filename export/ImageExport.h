#pragma once
// The picture's image export commands: a format chosen by the name's
// extension, one message box when anything fails.
#include <string>

class CDibImage;
class QWidget;

namespace ImageExport {
// Asks for a name, starting where the last export went, and saves the
// picture there; `lastPath` becomes that name once it is saved. `image` is
// read after the dialog closes: a render meanwhile may have replaced it.
void SaveAs(QWidget* parent, CDibImage* const& image, std::string& lastPath);
// Saves under the last name, or asks for one as SaveAs does.
void Save(QWidget* parent, CDibImage* const& image, std::string& lastPath);
} // namespace ImageExport
