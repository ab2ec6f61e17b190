#pragma once
// A page printed to a file (a PDF) goes through the same staged save as any
// other file: it takes the old file's place only once it is whole and on the
// disk; otherwise the old file stays as it was.
#include <functional>

class QPrinter;

// Paints through `paint` into the printer's output file. 0 when the file was
// replaced, otherwise why it was kept (an errno value; EIO when the page
// could not be painted or came out incomplete).
int PrintToStagedFile(QPrinter& printer, const std::function<bool(QPrinter&)>& paint);
