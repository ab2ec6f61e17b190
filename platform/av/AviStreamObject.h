#pragma once
// A stream of an AVI file: the raw stream made from a stream header, or a
// compressed stream laid over it that encodes what is written to it.
#include <cstdint>
#include <vector>

#include "platform/Vfw.h"

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct AVStream;
struct SwsContext;

class AviStreamObject {
public:
    AviStreamObject(AviFileObject& file, const AVISTREAMINFOA& info);
    AviStreamObject(AviStreamObject& source, const AVICOMPRESSOPTIONS& options);
    ~AviStreamObject();
    AviStreamObject(const AviStreamObject&) = delete;
    AviStreamObject& operator=(const AviStreamObject&) = delete;

    void AddRef() { ++m_references; }
    ULONG Release();

    bool IsCompressed() const { return m_source != nullptr; }
    bool HasFormat() const { return m_hasFormat; }
    HRESULT SetFormat(const BITMAPINFOHEADER& format);
    HRESULT Write(LONG start, const void* data, LONG size);
    // Adds this stream to the file's muxer; called once, before the header.
    HRESULT Declare();
    // Drains the encoder; called before the trailer.
    HRESULT Finish();

private:
    HRESULT OpenEncoder();
    HRESULT WriteRaw(LONG start, const void* data);
    HRESULT Encode(LONG start, const void* data);
    HRESULT Drain(bool flush);

    AviFileObject& m_file;
    AviStreamObject* m_source = nullptr;
    AVISTREAMINFOA m_info {};
    DWORD m_handler = 0;
    DWORD m_quality = 0;
    bool m_hasFormat = false;
    BITMAPINFOHEADER m_format {};
    ULONG m_references = 1;

    AVStream* m_stream = nullptr;
    AVCodecContext* m_encoder = nullptr;
    SwsContext* m_scaler = nullptr;
    AVFrame* m_frame = nullptr;
    AVPacket* m_packet = nullptr;
};
