#pragma once
// An AVI file being written, on libavformat's AVI muxer. The file is created
// (or emptied) when opened; the header is written with the first frame, or
// at release when no frame came.
#include <string>
#include <vector>

#include "platform/Vfw.h"

struct AVFormatContext;
struct AVPacket;

class AviFileObject {
public:
    static HRESULT Open(const char* path, AviFileObject** file);
    ~AviFileObject();
    AviFileObject(const AviFileObject&) = delete;
    AviFileObject& operator=(const AviFileObject&) = delete;

    AVFormatContext* Muxer() const { return m_muxer; }
    void AddStream(AviStreamObject* stream);
    void ForgetStream(AviStreamObject* stream);
    // Writes the header once every stream is known.
    HRESULT BeginWriting();
    HRESULT WritePacket(AVPacket* packet);
    ULONG Release();

private:
    AviFileObject() = default;
    void Finish();

    AVFormatContext* m_muxer = nullptr;
    std::vector<AviStreamObject*> m_streams;
    bool m_headerWritten = false;
    bool m_broken = false;
};
