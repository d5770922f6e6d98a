// Saving and loading a large animation, each beside the zlib work it cannot avoid, measured in
// the same run on the same bytes: 100,000 frames of ten stick men. Also the refusal of a small file
// of a million frames, and reading it frame by frame as "kelto-cli info" does.
#include "document/editsession.h"
#include "document/kelformat.h"
#include "document/recoveryfile.h"
#include "document/zstream.h"

#include <benchmark/benchmark.h>

#include <malloc.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>

using namespace kelto;

namespace {

constexpr int kFrames = 100000;
constexpr int kMenPerFrame = 10;

// Ten stick men walking across the area, each limb swinging a little from frame to frame, as
// a real animation changes.
Document makeAnimation() {
    Document doc(800, 600);
    const FigureType& man = doc.figureType(1);
    doc.frames.resize(kFrames);
    for (int k = 0; k < kFrames; ++k) {
        Figures& frame = doc.frames[k];
        frame.setCount(kMenPerFrame);
        for (int m = 0; m < kMenPerFrame; ++m) {
            Figure& f = frame.figures[m];
            f.setType(1, man);
            f.figureID = m + 1;
            for (int s = 0; s < man.segmentCount(); ++s) {
                f.pose[s].angle += 0.3 * std::sin(0.05 * k + 0.7 * s + m);
            }
            f.placeRoot({40.0 + 70 * m + (k % 200), 300.0 + 20 * std::sin(0.1 * k)}, man);
            f.updateBounds(man);
        }
    }
    doc.lastFigureID = kMenPerFrame;
    return doc;
}

const Document& animation() {
    static const Document doc = makeAnimation();
    return doc;
}

const std::vector<uint8_t>& record() {
    static const std::vector<uint8_t> bytes = writeDocumentRecord(animation());
    return bytes;
}

const std::vector<uint8_t>& file() {
    static const std::vector<uint8_t> bytes = compressStream(record());
    return bytes;
}

// Builds the shared inputs outside the timed loops.
void prepare() {
    file();
}

void BM_SaveDocument(benchmark::State& state) {
    prepare();
    for (auto _ : state) {
        benchmark::DoNotOptimize(writeKelFile(animation()));
    }
    state.counters["MB"] = double(record().size()) / 1e6;
}

void BM_CompressOnly(benchmark::State& state) {
    prepare();
    for (auto _ : state) {
        benchmark::DoNotOptimize(compressStream(record()));
    }
}

void BM_LoadDocument(benchmark::State& state) {
    prepare();
    for (auto _ : state) {
        benchmark::DoNotOptimize(readKelFile(file()));
    }
}

void BM_InflateOnly(benchmark::State& state) {
    prepare();
    for (auto _ : state) {
        benchmark::DoNotOptimize(decompressStream(file()));
    }
}

// The two halves of the figures above: the record alone, without zlib.
void BM_WriteRecordOnly(benchmark::State& state) {
    prepare();
    for (auto _ : state) {
        benchmark::DoNotOptimize(writeDocumentRecord(animation()));
    }
}

void BM_ReadRecordOnly(benchmark::State& state) {
    prepare();
    for (auto _ : state) {
        benchmark::DoNotOptimize(readDocumentRecord(record()));
    }
}

// Heap held by a loaded document, per figure.
void BM_MemoryPerFigure(benchmark::State& state) {
    prepare();
    double perFigure = 0;
    for (auto _ : state) {
        malloc_trim(0);
        const size_t before = mallinfo2().uordblks;
        {
            const Document doc = readDocumentRecord(record());
            const size_t after = mallinfo2().uordblks;
            perFigure = double(after - before) / (double(kFrames) * kMenPerFrame);
            benchmark::DoNotOptimize(doc.frameCount());
        }
    }
    state.counters["bytesPerFigure"] = perFigure;
}

// Autosave of the same animation in the editing session. The editor takes the snapshot on the
// UI thread in slices of 20 ms, the event loop running between them, and a worker compresses
// and writes the file. Reported: the longest slice (what the UI is blocked for at most), the
// slices and their total; the worker's write is timed in the case after it.
EditSession& autosaveSession() {
    static EditSession session(makeAnimation());
    return session;
}

double threadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

void BM_AutosaveSnapshotSlices(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    EditSession& session = autosaveSession();
    double longest = 0;
    double longestCpu = 0;
    double total = 0;
    int slices = 0;
    for (auto _ : state) {
        const ContentStamp stamp = contentStamp(session, 0);
        const auto begin = Clock::now();
        SnapshotBuilder builder(session, stamp);
        SnapshotBuilder::Step step = SnapshotBuilder::Step::More;
        longest = 0;
        longestCpu = 0;
        slices = 0;
        auto sliceStart = begin;
        double cpuStart = threadCpuSeconds();
        while (step == SnapshotBuilder::Step::More) {
            step = builder.step(session, stamp, std::chrono::milliseconds(20));
            const auto end = Clock::now();
            const double cpuEnd = threadCpuSeconds();
            longest = std::max(longest, std::chrono::duration<double>(end - sliceStart).count());
            longestCpu = std::max(longestCpu, cpuEnd - cpuStart);
            sliceStart = end;
            cpuStart = cpuEnd;
            ++slices;
        }
        total = std::chrono::duration<double>(Clock::now() - begin).count();
        state.SetIterationTime(total);
        state.PauseTiming();
        benchmark::DoNotOptimize(builder.take()); // freed by the worker in the editor
        state.ResumeTiming();
    }
    state.counters["longestSliceMs"] = longest * 1000;
    state.counters["longestSliceCpuMs"] = longestCpu * 1000;
    state.counters["slices"] = slices;
    state.counters["uiTotalMs"] = total * 1000;
}

void BM_AutosaveWorkerWrite(benchmark::State& state) {
    const RecoverySnapshot snapshot = takeSnapshot(autosaveSession());
    char folder[] = "/tmp/kelto-bench-XXXXXX";
    if (!mkdtemp(folder)) {
        state.SkipWithError("no temporary folder");
        return;
    }
    const std::string path = std::string(folder) + "/bench.recovery";
    for (auto _ : state) {
        writeRecoveryFile(path, snapshot);
    }
    struct stat st {};
    stat(path.c_str(), &st);
    state.counters["recordMB"] = double(snapshot.recordSize()) / 1e6;
    state.counters["fileMB"] = double(st.st_size) / 1e6;
    std::remove(path.c_str());
    rmdir(folder);
}

// A file of a million stored frames of one stick man (434 KB): its document would take about a
// gigabyte, so loading refuses it once its figures pass what a file of its size may claim.
// Reading it frame by frame without keeping them is what "kelto-cli info" does, twice.
const std::vector<uint8_t>& millionFrameFile() {
    static const std::vector<uint8_t> bytes = [] {
        Document one(400, 300);
        Figures frame;
        frame.setCount(1);
        frame.figures[0].setType(1, one.figureType(1));
        frame.figures[0].figureID = 1;
        frame.figures[0].placeRoot({200, 150}, one.figureType(1));
        frame.figures[0].updateBounds(one.figureType(1));
        one.frames.push_back(frame);
        const std::vector<uint8_t> single = writeDocumentRecord(one);
        constexpr size_t head = 1 + 4 + 4 + 1 + 2 + 4; // up to the frame count
        std::vector<uint8_t> record(single.begin(), single.begin() + head);
        const int32_t frames = 1000000;
        std::memcpy(record.data() + head - 4, &frames, 4);
        for (int32_t k = 0; k < frames; ++k) {
            record.insert(record.end(), single.begin() + head, single.end() - 4);
        }
        record.insert(record.end(), single.end() - 4, single.end());
        return compressStream(record);
    }();
    return bytes;
}

void BM_RefuseMillionFrameFile(benchmark::State& state) {
    millionFrameFile();
    for (auto _ : state) {
        try {
            readKelFile(millionFrameFile());
            state.SkipWithError("the file was not refused");
        } catch (const KeltoError&) {
        }
    }
    state.counters["fileKB"] = double(millionFrameFile().size()) / 1e3;
}

void BM_ScanMillionFrameFile(benchmark::State& state) {
    millionFrameFile();
    for (auto _ : state) {
        size_t figures = 0;
        scanKelFile(millionFrameFile(), [&](const Figures& frame, const Document&) {
            figures += frame.figures.size();
        });
        benchmark::DoNotOptimize(figures);
    }
}

// Cold, whole-process measures: a fresh process opens the 100,000-frame file as users meet it
// (read, inflate and parse, draw the first frame), beside a fresh process that only inflates the
// same bytes and one that only reads them. A process starts with no heap, so page faults and the
// allocator's growth are counted, which the in-process loops above hide by reusing warm memory.
// The file on disk for the helper processes, removed when the benchmark ends.
struct ColdFile {
    std::string path;
    ColdFile() : path("/tmp/kelto_bench_cold_" + std::to_string(getpid()) + ".kel") {
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(file().data()), std::streamsize(file().size()));
    }
    ~ColdFile() { std::remove(path.c_str()); }
    ColdFile(const ColdFile&) = delete;
    ColdFile& operator=(const ColdFile&) = delete;
};

const std::string& coldFilePath() {
    static const ColdFile cold;
    return cold.path;
}

struct ProcessCost {
    double wallSeconds = 0;
    double cpuSeconds = 0;
    double peakBytes = 0;
};

// The helper program is built beside this one.
std::string helperPath() {
    char self[4096] = {};
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string dir = n > 0 ? std::string(self, size_t(n)) : std::string("./x");
    return dir.substr(0, dir.find_last_of('/') + 1) + "kelto_coldload";
}

ProcessCost runHelper(const char* mode, benchmark::State& state) {
    const std::string helper = helperPath();
    const std::string path = coldFilePath();
    char* argv[] = {const_cast<char*>(helper.c_str()), const_cast<char*>(mode),
                    const_cast<char*>(path.c_str()), nullptr};
    int out[2];
    if (pipe(out) != 0) {
        state.SkipWithError("no pipe");
        return {};
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, helper.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (spawned != 0) {
        close(out[0]);
        state.SkipWithError("could not start kelto_coldload");
        return {};
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const auto end = std::chrono::steady_clock::now();
    char line[128] = {};
    const ssize_t got = read(out[0], line, sizeof line - 1);
    close(out[0]);
    unsigned long made = 0;
    long peakKb = 0;
    if (got <= 0 || std::sscanf(line, "%lu %ld", &made, &peakKb) != 2) {
        state.SkipWithError("kelto_coldload said nothing");
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        state.SkipWithError("kelto_coldload failed");
    }
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return {std::chrono::duration<double>(end - start).count(),
            seconds(usage.ru_utime) + seconds(usage.ru_stime), double(peakKb) * 1024.0};
}

ProcessCost reportCold(benchmark::State& state, const char* mode) {
    coldFilePath();
    ProcessCost total;
    for (auto _ : state) {
        const ProcessCost one = runHelper(mode, state);
        state.SetIterationTime(one.wallSeconds);
        total.cpuSeconds += one.cpuSeconds;
        total.peakBytes = std::max(total.peakBytes, one.peakBytes);
    }
    state.counters["cpu_s"] = total.cpuSeconds / double(state.iterations());
    state.counters["peakMB"] = total.peakBytes / 1e6;
    return total;
}

void BM_ColdLoadProcess(benchmark::State& state) {
    const ProcessCost load = reportCold(state, "load");
    // Peak memory beyond a process that only reads the file, per stick-man figure.
    const ProcessCost read = runHelper("read", state);
    state.counters["bytesPerFigure"] =
        (load.peakBytes - read.peakBytes) / (double(kFrames) * kMenPerFrame);
}

// The same with inflating and parsing on one thread, as before the reader took a second one.
void BM_ColdLoadOneThreadProcess(benchmark::State& state) {
    reportCold(state, "load1");
}

void BM_ColdInflateProcess(benchmark::State& state) {
    reportCold(state, "inflate");
}

void BM_ColdReadProcess(benchmark::State& state) {
    reportCold(state, "read");
}

} // namespace

BENCHMARK(BM_SaveDocument)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_CompressOnly)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_LoadDocument)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_InflateOnly)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_WriteRecordOnly)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_ReadRecordOnly)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_RefuseMillionFrameFile)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ScanMillionFrameFile)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_MemoryPerFigure)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_AutosaveSnapshotSlices)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_AutosaveWorkerWrite)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_ColdLoadProcess)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_ColdLoadOneThreadProcess)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);
BENCHMARK(BM_ColdInflateProcess)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_ColdReadProcess)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
