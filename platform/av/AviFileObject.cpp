#include "AviFileObject.h"

#include <algorithm>

extern "C" {
#include <libavformat/avformat.h>
}

#include "AviStreamObject.h"
#include "StagedOutput.h"

HRESULT AviFileObject::Open(const char* path, AviFileObject** file)
{
    *file = nullptr;
    auto* object = new AviFileObject;
    if (avformat_alloc_output_context2(&object->m_muxer, nullptr, "avi", path) < 0 || !object->m_muxer) {
        delete object;
        return AVIERR_MEMORY;
    }
    // The program's video has a fixed name in a folder that others may share:
    // a link planted there is replaced, and what it names is never written.
    if (!object->m_output.Open(path, StagedFile::Staging::Unnamed, StagedFile::Links::Replace)) {
        delete object;
        return AVIERR_FILEOPEN;
    }
    if (!object->AttachOutput()) {
        delete object;
        return AVIERR_MEMORY;
    }
    *file = object;
    return AVIERR_OK;
}

AviFileObject::~AviFileObject()
{
    if (m_muxer) {
        FreeStagedOutput(m_muxer->pb);
        avformat_free_context(m_muxer);
    }
}

bool AviFileObject::AttachOutput()
{
    m_muxer->pb = MakeStagedOutput(m_output);
    return m_muxer->pb != nullptr;
}

void AviFileObject::AddStream(AviStreamObject* stream) { m_streams.push_back(stream); }

void AviFileObject::ForgetStream(AviStreamObject* stream)
{
    m_streams.erase(std::remove(m_streams.begin(), m_streams.end(), stream), m_streams.end());
}

HRESULT AviFileObject::BeginWriting()
{
    if (m_headerWritten)
        return AVIERR_OK;
    if (m_broken)
        return AVIERR_FILEWRITE;
    // The compressed stream stands for the raw one it was laid over.
    bool compressed = false;
    for (AviStreamObject* stream : m_streams)
        compressed |= stream->IsCompressed();
    for (AviStreamObject* stream : m_streams)
        if (stream->IsCompressed() == compressed)
            if (const HRESULT result = stream->Declare(); result != AVIERR_OK) {
                m_broken = true;
                return result;
            }
    if (m_muxer->nb_streams == 0 || avformat_write_header(m_muxer, nullptr) < 0) {
        m_broken = true;
        return AVIERR_FILEWRITE;
    }
    m_headerWritten = true;
    return AVIERR_OK;
}

HRESULT AviFileObject::WritePacket(AVPacket* packet)
{
    // Writes are buffered: a full disk may show only on a later packet.
    if (av_interleaved_write_frame(m_muxer, packet) < 0 || !m_output.Intact()) {
        m_broken = true;
        return AVIERR_FILEWRITE;
    }
    return AVIERR_OK;
}

void AviFileObject::Finish()
{
    if (!m_headerWritten && !m_streams.empty())
        BeginWriting();
    if (m_headerWritten) {
        for (AviStreamObject* stream : m_streams)
            stream->Finish();
        if (av_write_trailer(m_muxer) < 0)
            m_broken = true;
    }
    PutInPlace();
}

// A file without frames is still a valid file and replaces the old one; a
// file that is missing any of its bytes, has no header at all (no stream was
// ever made) or whose compression was never settled (the choice refused or
// failed) never does.
void AviFileObject::PutInPlace()
{
    avio_flush(m_muxer->pb);
    if (!m_headerWritten || !HasSettledStream() || m_broken || m_muxer->pb->error < 0 || !m_output.Commit())
        m_output.Discard();
}

bool AviFileObject::HasSettledStream() const
{
    return std::any_of(m_streams.begin(), m_streams.end(),
                       [](const AviStreamObject* stream) { return stream->IsCompressed() && stream->HasFormat(); });
}

ULONG AviFileObject::Release()
{
    Finish();
    for (AviStreamObject* stream : std::vector<AviStreamObject*>(m_streams))
        delete stream;
    delete this;
    return 0;
}
