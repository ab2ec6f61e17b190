#include "ConversionCodePage.h"

#include <atomic>

#include "platform/Kernel32.h"

namespace {
constexpr UINT kUnchosen = ~0u;

std::atomic<UINT> s_codePage {kUnchosen};

// Linux has no pre-Unicode platform family to fall back for: narrow text is
// always in the thread's locale encoding, which the conversion reads as UTF-8.
UINT ChooseCodePage() { return CP_THREAD_ACP; }
} // namespace

UINT ConversionCodePage()
{
    UINT codePage = s_codePage.load(std::memory_order_acquire);
    if (codePage == kUnchosen) {
        // A second first use would store the same rule again: harmless.
        codePage = ChooseCodePage();
        InterlockedExchange(&s_codePage, codePage);
    }
    return codePage;
}
