#include "export/avfileoutput.h"

#include "settings/errorreporter.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavformat/avio.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
#include <libswscale/swscale.h>
}

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace kelto {

namespace {

constexpr int kBufferSize = 64 * 1024;

#if LIBAVFORMAT_VERSION_MAJOR >= 61
using PacketBytes = const uint8_t*;
#else
using PacketBytes = uint8_t*;
#endif

int writePacket(void* opaque, PacketBytes data, int size) {
    auto* file = static_cast<AtomicFile*>(opaque);
    if (size < 0) {
        return AVERROR(EINVAL);
    }
    // The reason stays with the file; FFmpeg only needs to hear that it failed.
    return file->tryWrite(data, size_t(size)) ? size : AVERROR(EIO);
}

int64_t seekFile(void* opaque, int64_t offset, int whence) {
    const int fd = static_cast<AtomicFile*>(opaque)->descriptor();
    whence &= ~AVSEEK_FORCE;
    if (whence == AVSEEK_SIZE) {
        struct stat st {};
        return ::fstat(fd, &st) == 0 ? int64_t(st.st_size) : AVERROR(errno);
    }
    const off_t at = ::lseek(fd, off_t(offset), whence);
    return at < 0 ? AVERROR(errno) : int64_t(at);
}

} // namespace

std::string avErrorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {0};
    av_strerror(code, text, sizeof(text));
    return text;
}

AvFileOutput::AvFileOutput(const std::string& target) : m_file(target) {
    auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferSize));
    if (buffer) {
        m_context =
            avio_alloc_context(buffer, kBufferSize, 1, &m_file, nullptr, writePacket, seekFile);
    }
    if (!m_context) {
        av_free(buffer);
        throw KeltoError("Could not write " + target + ": out of memory");
    }
}

AvFileOutput::~AvFileOutput() {
    av_freep(&m_context->buffer);
    avio_context_free(&m_context);
}

void AvFileOutput::finish() {
    avio_flush(m_context);
    m_file.checkWrites();
    if (m_context->error < 0) {
        throw KeltoError("Could not write " + target() + ": " + avErrorText(m_context->error));
    }
    m_file.commit();
}

void AvEncodingParts::release() {
    if (packet) {
        av_packet_free(&packet);
    }
    if (frame) {
        av_frame_free(&frame);
    }
    if (scaler) {
        sws_freeContext(scaler);
        scaler = nullptr;
    }
    if (encoder) {
        avcodec_free_context(&encoder);
    }
    if (muxer) {
        muxer->pb = nullptr; // the output's own context
        avformat_free_context(muxer);
        muxer = nullptr;
    }
    output.reset();
}

} // namespace kelto
