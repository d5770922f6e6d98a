#include "export/framepipeline.h"

#include <algorithm>

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

} // namespace kelto
