#pragma once
// The picture of a --deep render: counts from the deep calculator, coloured
// by the renderer with the window's colour rule, with the progress of any render.
#include <memory>

class CDibImage;
class RenderProgress;
struct CommandLine;

// Null when there is no memory for the picture.
std::unique_ptr<CDibImage> RenderDeep(const CommandLine& line, RenderProgress& progress);
