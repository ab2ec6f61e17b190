#pragma once
// An AVI file being written, on libavformat's AVI muxer. The data goes to a
// staged file beside the target, which takes the target's place at release,
// and only if every write succeeded: until then the old file stays as it was,
// and a video that could not be written whole (disk full) never replaces it.
// The header is written with the first frame, or at release when no frame
// came; a file released before it had any stream has no header and is dropped.
#include <string>
#include <vector>

#include "platform/StagedFile.h"
#include "platform/Vfw.h"

struct AVFormatContext;
struct AVPacket;

class AviFileObject {
public:
    // AVIERR_FILEOPEN when the target could not be replaced: missing or
    // read-only folder, a directory or a pipe in its place. A symbolic link
    // in its place is replaced itself; the file it names is left alone.
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
    // Finishes the file and puts it in place, then frees it and its streams.
    ULONG Release();

private:
    AviFileObject() = default;
    bool AttachOutput();
    void Finish();
    void PutInPlace();
    bool HasSettledStream() const;

    AVFormatContext* m_muxer = nullptr;
    StagedFile m_output;
    std::vector<AviStreamObject*> m_streams;
    bool m_headerWritten = false;
    // Set once the file can no longer be finished whole.
    bool m_broken = false;
};
