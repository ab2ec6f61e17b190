#include "CNivoDoc.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <new>

#include "platform/LargeBlock.h"
#include "platform/User32.h"

namespace {
// No view can show more pixels than a 24-bit bitmap of 2 GiB holds, nor be
// wider or taller than a widget can be. Larger client areas are refused before
// anything is allocated: the system may well grant tens of gigabytes that it
// cannot supply once the picture fills them.
constexpr std::int64_t kMaxEntries = 0x7fffffff / 3;
constexpr std::int32_t kMaxSide = 16777215;

// Sizes are formed in 64 bits: W x H overflows 32 bits on large clients.
std::int64_t EntryCount(std::int32_t width, std::int32_t height)
{
    return width > 0 && height > 0 ? std::int64_t(width) * height : 0;
}

bool FitsAPicture(std::int32_t width, std::int32_t height)
{
    return width <= kMaxSide && height <= kMaxSide && EntryCount(width, height) <= kMaxEntries;
}

int ComputeProgress(std::int64_t written, std::int64_t total)
{
    return total > 0 ? static_cast<std::int32_t>((written * 50.0) / static_cast<double>(total)) : 0;
}
} // namespace

CNivoDoc::CNivoDoc() = default;

CNivoDoc::CNivoDoc(HWND targetWnd) : m_targetWnd(targetWnd) {}

CNivoDoc::~CNivoDoc() { ReleaseBuffer(); }

void CNivoDoc::SetWindow(HWND window) { m_targetWnd = window; }

bool CNivoDoc::OnNewDocument()
{
    m_strPathName.clear();
    m_strTitle = "Sans titre";
    return true;
}

CNivoDoc::OpenResult CNivoDoc::OnOpenDocument(const std::string& path)
{
    // Non-blocking, so that a FIFO or a device cannot hang the program here.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 && (errno == ENOENT || errno == ENOTDIR))
        return OpenResult::Missing;
    if (fd < 0 && errno == ELOOP)
        return OpenResult::LinkLoop;
    // A socket cannot be opened at all.
    if (fd < 0 && ::stat(path.c_str(), &info) == 0 && S_ISSOCK(info.st_mode))
        return OpenResult::Socket;
    if (fd < 0)
        return OpenResult::Unreadable;
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    ::close(fd);
    return regular ? OpenResult::Opened : OpenResult::NotRegularFile;
}

void CNivoDoc::SetPathName(const std::string& path)
{
    m_strPathName = path;
    const auto slash = path.find_last_of('/');
    m_strTitle = slash == std::string::npos ? path : path.substr(slash + 1);
}

void CNivoDoc::Compute(std::int32_t maxIterations, double centreX, double centreY, double zoom,
                       RenderProgress& progress)
{
    progress.Begin(0);
    RECT client;
    GetClientRect(m_targetWnd, &client);
    Fill(client.right - client.left, client.bottom - client.top, maxIterations, centreX, centreY, zoom, progress);
    progress.End();
}

void CNivoDoc::Compute(std::int32_t W, std::int32_t H, std::int32_t maxIterations, double centreX, double centreY,
                       double zoom, RenderProgress& progress)
{
    progress.Begin(0);
    Fill(W, H, maxIterations, centreX, centreY, zoom, progress);
    progress.End();
}

void CNivoDoc::Fill(std::int32_t W, std::int32_t H, std::int32_t maxIterations, double centreX, double centreY,
                    double zoom, RenderProgress& progress)
{
    ReleaseBuffer();
    const std::int64_t total = EntryCount(W, H);
    if (!FitsAPicture(W, H))
        return;
    m_buffer = static_cast<std::int32_t*>(LargeBlock::Allocate(static_cast<std::size_t>(total) * sizeof(std::int32_t)));
    if (!m_buffer)
        return;
    m_bufferSize = total;

    try {
        // A negative or not-a-number zoom samples nothing; nor does a zero width, which has no room for any entry.
        if (!m_grid.BuildView(W, H, centreX, centreY, zoom)) {
            ClearFrom(0);
            return;
        }
        const std::int64_t rows = m_grid.Rows();
        m_engine.Fill(m_grid, maxIterations, m_buffer, [&](std::int32_t column) {
            progress.Move(ComputeProgress((column + 1) * rows, total));
            return !progress.Stopped();
        });
        ClearFrom(m_grid.Columns() * rows);
    } catch (const std::bad_alloc&) {
        // No room for the sample points: as when the buffer itself cannot be had.
        ReleaseBuffer();
    }
}

void CNivoDoc::ReleaseBuffer()
{
    LargeBlock::Release(m_buffer, static_cast<std::size_t>(m_bufferSize) * sizeof(std::int32_t));
    m_buffer = nullptr;
    m_bufferSize = 0;
}

// Entries no column reached (early ends at deep zoom, no sampled column at
// all) are set to 0 rather than left as whatever the allocator gave.
void CNivoDoc::ClearFrom(std::int64_t written)
{
    std::fill(m_buffer + written, m_buffer + m_bufferSize, 0);
}
