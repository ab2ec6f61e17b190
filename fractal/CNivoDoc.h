#pragma once
// The document class, which also serves the view as its fractal calculator:
// it measures a window and fills one escape count per pixel, column by column.
#include <cstdint>
#include <string>

#include "ComputeEngine.h"
#include "RenderProgress.h"
#include "SampleGrid.h"
#include "platform/WinTypes.h"

class CNivoDoc {
public:
    CNivoDoc();
    explicit CNivoDoc(HWND targetWnd);
    ~CNivoDoc();
    CNivoDoc(const CNivoDoc&) = delete;
    CNivoDoc& operator=(const CNivoDoc&) = delete;

    void SetWindow(HWND window);
    // Measures the client area of the window it was given.
    void Compute(std::int32_t maxIterations, double centreX, double centreY, double zoom, RenderProgress& progress);
    // A picture of W x H device pixels.
    void Compute(std::int32_t W, std::int32_t H, std::int32_t maxIterations, double centreX, double centreY,
                 double zoom, RenderProgress& progress);

    // The document side: it holds nothing, is never modified and never saved.
    enum class OpenResult { Opened, Missing, NotRegularFile, Socket, LinkLoop, Unreadable };
    bool OnNewDocument();
    // Checks that the file can be read; its contents play no part.
    OpenResult OnOpenDocument(const std::string& path);
    void SetPathName(const std::string& path);
    std::string m_strPathName;
    std::string m_strTitle;

    // Entries in m_buffer: W x H of the last Compute, 0 when it holds none.
    std::int64_t BufferSize() const { return m_bufferSize; }

    std::int32_t* m_buffer = nullptr;
    HWND m_targetWnd = nullptr;

private:
    std::int64_t m_bufferSize = 0;
    void Fill(std::int32_t W, std::int32_t H, std::int32_t maxIterations, double centreX, double centreY, double zoom,
              RenderProgress& progress);
    void ClearFrom(std::int64_t written);
    void ReleaseBuffer();

    SampleGrid m_grid;
    ComputeEngine m_engine;
};
