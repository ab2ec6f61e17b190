#include "AviFileObject.h"

#include <algorithm>

extern "C" {
#include <libavformat/avformat.h>
}

#include "AviStreamObject.h"

HRESULT AviFileObject::Open(const char* path, AviFileObject** file)
{
    *file = nullptr;
    auto* object = new AviFileObject;
    if (avformat_alloc_output_context2(&object->m_muxer, nullptr, "avi", path) < 0 || !object->m_muxer) {
        delete object;
        return AVIERR_MEMORY;
    }
    // Created or emptied right away, as the caller expects.
    if (avio_open(&object->m_muxer->pb, path, AVIO_FLAG_WRITE) < 0) {
        delete object;
        return AVIERR_FILEOPEN;
    }
    *file = object;
    return AVIERR_OK;
}

AviFileObject::~AviFileObject()
{
    if (m_muxer) {
        if (m_muxer->pb)
            avio_closep(&m_muxer->pb);
        avformat_free_context(m_muxer);
    }
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
    return av_interleaved_write_frame(m_muxer, packet) < 0 ? AVIERR_FILEWRITE : AVIERR_OK;
}

void AviFileObject::Finish()
{
    if (!m_headerWritten && !m_streams.empty())
        BeginWriting();
    if (m_headerWritten) {
        for (AviStreamObject* stream : m_streams)
            stream->Finish();
        av_write_trailer(m_muxer);
    }
}

ULONG AviFileObject::Release()
{
    Finish();
    for (AviStreamObject* stream : std::vector<AviStreamObject*>(m_streams))
        delete stream;
    delete this;
    return 0;
}
