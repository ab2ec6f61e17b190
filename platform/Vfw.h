#pragma once
// AVI file services: files, streams, compressors and the compression options
// dialog, with the shapes and result codes of the Windows AVIFile library.
#include <functional>
#include <vector>

#include "WinTypes.h"

class AviFileObject;
class AviStreamObject;
using PAVIFILE = AviFileObject*;
using PAVISTREAM = AviStreamObject*;

constexpr DWORD mmioFOURCC(char a, char b, char c, char d)
{
    return DWORD(BYTE(a)) | (DWORD(BYTE(b)) << 8) | (DWORD(BYTE(c)) << 16) | (DWORD(BYTE(d)) << 24);
}
constexpr DWORD streamtypeVIDEO = mmioFOURCC('v', 'i', 'd', 's');

struct AVISTREAMINFOA {
    DWORD fccType;
    DWORD fccHandler;
    DWORD dwFlags;
    DWORD dwCaps;
    WORD wPriority;
    WORD wLanguage;
    DWORD dwScale;
    DWORD dwRate;
    DWORD dwStart;
    DWORD dwLength;
    DWORD dwInitialFrames;
    DWORD dwSuggestedBufferSize;
    DWORD dwQuality;
    DWORD dwSampleSize;
    RECT rcFrame;
    DWORD dwEditCount;
    DWORD dwFormatChangeCount;
    char szName[64];
};
static_assert(sizeof(AVISTREAMINFOA) == 140);

struct AVICOMPRESSOPTIONS {
    DWORD fccType;
    DWORD fccHandler;
    DWORD dwKeyFrameEvery;
    DWORD dwQuality;
    DWORD dwBytesPerSecond;
    DWORD dwFlags;
    void* lpFormat;
    DWORD cbFormat;
    void* lpParms;
    DWORD cbParms;
    DWORD dwInterleaveEvery;
};

constexpr HRESULT AVIERR_OK = 0;
constexpr HRESULT AVIERR_BADFORMAT = static_cast<HRESULT>(0x80044066u);
constexpr HRESULT AVIERR_MEMORY = static_cast<HRESULT>(0x80044067u);
constexpr HRESULT AVIERR_BADPARAM = static_cast<HRESULT>(0x8004406Au);
constexpr HRESULT AVIERR_BADHANDLE = static_cast<HRESULT>(0x8004406Cu);
constexpr HRESULT AVIERR_FILEWRITE = static_cast<HRESULT>(0x8004406Eu);
constexpr HRESULT AVIERR_FILEOPEN = static_cast<HRESULT>(0x8004406Du);
constexpr HRESULT AVIERR_COMPRESSOR = static_cast<HRESULT>(0x80044070u);
constexpr HRESULT AVIERR_NOCOMPRESSOR = static_cast<HRESULT>(0x80044071u);
constexpr HRESULT AVIERR_USERABORT = static_cast<HRESULT>(0x800440C6u);
constexpr HRESULT AVIERR_ERROR = static_cast<HRESULT>(0x800440C7u);

constexpr UINT OF_WRITE = 0x0001;
constexpr UINT OF_CREATE = 0x1000;
constexpr DWORD AVIIF_KEYFRAME = 0x10;
constexpr DWORD ICMF_CHOOSE_KEYFRAME = 0x0001;

void AVIFileInit();
void AVIFileExit();
int AVIFileInitCount();
HRESULT AVIFileOpenA(PAVIFILE* file, const char* path, UINT mode, void* handler);
HRESULT AVIFileCreateStreamA(PAVIFILE file, PAVISTREAM* stream, const AVISTREAMINFOA* info);
BOOL AVISaveOptions(HWND parent, UINT flags, int streams, PAVISTREAM* stream, AVICOMPRESSOPTIONS** options);
HRESULT AVISaveOptionsFree(int streams, AVICOMPRESSOPTIONS** options);
HRESULT AVIMakeCompressedStream(PAVISTREAM* compressed, PAVISTREAM source, const AVICOMPRESSOPTIONS* options, void* handler);
HRESULT AVIStreamSetFormat(PAVISTREAM stream, LONG position, const void* format, LONG size);
HRESULT AVIStreamWrite(PAVISTREAM stream, LONG start, LONG samples, const void* data, LONG size, DWORD flags,
                       LONG* samplesWritten, LONG* bytesWritten);
ULONG AVIStreamRelease(PAVISTREAM stream);
ULONG AVIFileRelease(PAVIFILE file);

// The compressors this machine can really use, in the order the dialog offers them.
struct VideoCompressor {
    DWORD fccHandler;
    const char* name;
    bool hasQuality;
};
const std::vector<VideoCompressor>& AvailableCompressors();
// The available compressor a handler names (letter case aside), or null.
const VideoCompressor* FindCompressor(DWORD fccHandler);

// Who answers the compression dialog: the Qt shell shows one, tests answer
// themselves. With none, the dialog counts as refused.
using SaveOptionsPrompt = std::function<bool(HWND parent, AVICOMPRESSOPTIONS& options)>;
void SetSaveOptionsPrompt(SaveOptionsPrompt prompt);
