#pragma once

// Small files that hold a great deal once inflated, built in pieces so that the test itself never
// holds what they inflate to, and a way to measure what reading them costs in a child process.

#include "document/kelformat.h"
#include "graphics/bytestream.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <zlib.h>

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <vector>

namespace kelto::test {

// A zlib stream made from pieces fed one after the other.
class Deflater {
public:
    Deflater() {
        if (deflateInit(&m_z, 9) != Z_OK) {
            throw std::runtime_error("deflateInit");
        }
    }
    ~Deflater() { deflateEnd(&m_z); }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    void feed(const std::vector<uint8_t>& bytes) { run(bytes.data(), bytes.size(), Z_NO_FLUSH); }
    void feedRepeated(const std::vector<uint8_t>& piece, size_t times) {
        // A few copies per call keep the calls few without holding much.
        std::vector<uint8_t> batch;
        const size_t perBatch = std::max<size_t>(1, (1 << 20) / std::max<size_t>(1, piece.size()));
        for (size_t i = 0; i < std::min(perBatch, times); ++i) {
            batch.insert(batch.end(), piece.begin(), piece.end());
        }
        for (size_t done = 0; done < times;) {
            const size_t n = std::min(perBatch, times - done);
            run(batch.data(), n * piece.size(), Z_NO_FLUSH);
            done += n;
        }
    }
    std::vector<uint8_t> finish() {
        run(nullptr, 0, Z_FINISH);
        return std::move(m_out);
    }

private:
    void run(const uint8_t* data, size_t size, int flush) {
        m_z.next_in = const_cast<Bytef*>(data);
        m_z.avail_in = static_cast<uInt>(size);
        uint8_t buffer[1 << 16];
        do {
            m_z.next_out = buffer;
            m_z.avail_out = sizeof buffer;
            deflate(&m_z, flush);
            m_out.insert(m_out.end(), buffer, buffer + (sizeof buffer - m_z.avail_out));
        } while (m_z.avail_out == 0 || (flush == Z_FINISH && m_z.avail_in > 0));
    }

    z_stream m_z{};
    std::vector<uint8_t> m_out;
};

// The bytes of one version-4 frame record holding one stick man, as the writer makes them.
inline std::vector<uint8_t> oneStickManFrame() {
    Document doc(400, 300);
    Figures frame;
    frame.setCount(1);
    frame.figures[0].setType(1, doc.figureType(1));
    frame.figures[0].figureID = 1;
    frame.figures[0].placeRoot({200, 150}, doc.figureType(1));
    frame.figures[0].updateBounds(doc.figureType(1));
    doc.frames.push_back(frame);
    doc.lastFigureID = 1;
    const std::vector<uint8_t> record = writeDocumentRecord(doc);
    // version, width, height, B, T, F before the frame; the frame rate after it.
    constexpr size_t head = 1 + 4 + 4 + 1 + 2 + 4;
    return {record.begin() + head, record.end() - 4};
}

// A .kel file of `frames` frames, each holding one stick man: the animation a user gets by
// storing the starting frame over and over. A million of them is a file of a few hundred KB.
inline std::vector<uint8_t> repeatedStickManFile(int frames) {
    ByteWriter head;
    head.put<uint8_t>(4);
    head.put<int32_t>(400);
    head.put<int32_t>(300);
    head.put<uint8_t>(1);
    head.put<uint16_t>(2);
    head.put<int32_t>(frames);
    Deflater z;
    z.feed(head.bytes());
    z.feedRepeated(oneStickManFrame(), size_t(frames));
    ByteWriter tail;
    tail.put<int32_t>(100);
    z.feed(tail.bytes());
    return z.finish();
}

// `size` bytes of zeros after a prefix, as one zlib stream.
inline std::vector<uint8_t> zeroBomb(const std::vector<uint8_t>& prefix, size_t size) {
    Deflater z;
    z.feed(prefix);
    z.feedRepeated(std::vector<uint8_t>(1 << 16, 0), size >> 16);
    return z.finish();
}

struct ChildCost {
    bool ok = false;        // the work returned true and the child ended normally
    long peakGrowthMb = -1; // how far the child's peak resident memory rose while working
};

// Runs work in a forked child and measures its peak resident memory (getrusage) before and
// after, so that what the test process already holds does not count.
inline ChildCost runInChild(const std::function<bool()>& work) {
    int fds[2];
    if (pipe(fds) != 0) {
        return {};
    }
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        rusage before{};
        getrusage(RUSAGE_SELF, &before);
        bool ok = false;
        try {
            ok = work();
        } catch (...) {
        }
        rusage after{};
        getrusage(RUSAGE_SELF, &after);
        const long result[2] = {ok ? 1 : 0, (after.ru_maxrss - before.ru_maxrss) / 1024};
        const ssize_t written = write(fds[1], result, sizeof result);
        _exit(written == sizeof result ? 0 : 1);
    }
    close(fds[1]);
    long result[2] = {0, -1};
    const ssize_t got = read(fds[0], result, sizeof result);
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (got != sizeof result || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return {};
    }
    return {result[0] == 1, result[1]};
}

// Memory figures mean little under the sanitizers' own allocators.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool kMemoryIsMeasurable = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
inline constexpr bool kMemoryIsMeasurable = false;
#else
inline constexpr bool kMemoryIsMeasurable = true;
#endif
#else
inline constexpr bool kMemoryIsMeasurable = true;
#endif

} // namespace kelto::test
