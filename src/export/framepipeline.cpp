#include "export/framepipeline.h"

#include <algorithm>
#include <cerrno>

#ifdef __linux__
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace kelto {

namespace {
// What the workers' own pictures may take together; beyond it fewer workers draw.
constexpr int64_t kWorkerMemoryBudget = int64_t(1) << 30;
} // namespace

int exportThreadCount(int requested, int frameCount, int64_t perWorkerBytes) {
    int threads = requested > 0 ? requested : int(std::thread::hardware_concurrency());
    if (perWorkerBytes > 0) {
        threads = int(std::min<int64_t>(threads, kWorkerMemoryBudget / perWorkerBytes));
    }
    return std::max(1, std::min(threads, frameCount));
}

void yieldToWriterThread() {
#ifdef __linux__
    // On Linux a nice value belongs to a thread. Raising one's own is always allowed; a few steps
    // are enough for the scheduler to favour the writing thread whenever both want a core.
    constexpr int step = 4;
    const auto thread = id_t(syscall(SYS_gettid));
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, thread);
    if (errno == 0) {
        setpriority(PRIO_PROCESS, thread, std::min(19, nice + step));
    }
#endif
}

} // namespace kelto
