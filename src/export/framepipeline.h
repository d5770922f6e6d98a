#pragma once

#include "export/exportoptions.h"

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace kelto {

// The worker threads an export uses: the requested count (0: one per core), lowered so that the
// workers' own pictures (perWorkerBytes each) stay within about a gigabyte, and never more
// than there are frames. Always at least 1.
int exportThreadCount(int requested, int frameCount, int64_t perWorkerBytes);

// Lets the calling thread yield its core to the threads of its process that have not called
// this. Workers call it so that the one thread that writes the file in order, the stage every
// frame has to pass, never waits for a core behind them.
void yieldToWriterThread();

// Prepares per-frame work on worker threads and hands the results to the calling thread in frame
// order. Each worker owns what makeWork() returned for it (a renderer with its own buffers), so
// workers share nothing but the read-only document. A worker takes a frame only while fewer than
// a window of frames wait to be consumed, so memory stays bounded however slow the consumer is.
//
// With one thread nothing is started: every frame is prepared and consumed on the calling thread,
// exactly as a plain loop would. Results never depend on which thread prepared them, so the
// output is the same for any thread count.
template <class Result>
class FramePipeline {
public:
    // Frames a worker may run ahead of the consumer, per worker. More than one keeps the others
    // busy while the thread with the next frame waits for a core on a busy machine.
    static constexpr int kWindowPerThread = 4;

    using Work = std::function<Result(int frame)>;

    // makeWork is called threads times on the calling thread before any worker starts.
    FramePipeline(int frameCount, int threads, const std::function<Work()>& makeWork)
        : m_frameCount(frameCount), m_window(kWindowPerThread * threads),
          m_slots(size_t(m_window)) {
        if (threads <= 1) {
            m_inline = makeWork();
            return;
        }
        std::vector<Work> works;
        works.reserve(size_t(threads));
        for (int t = 0; t < threads; ++t) {
            works.push_back(makeWork());
        }
        try {
            for (Work& work : works) {
                m_workers.emplace_back([this, w = std::move(work)]() {
                    yieldToWriterThread();
                    runWorker(w);
                });
            }
        } catch (...) {
            stopAndJoin();
            throw;
        }
    }

    // Stops the workers after the frames they are preparing; what they made is dropped.
    ~FramePipeline() { stopAndJoin(); }

    FramePipeline(const FramePipeline&) = delete;
    FramePipeline& operator=(const FramePipeline&) = delete;

    // The next frame's result, frames in order from 0. Rethrows what preparing it threw.
    Result next() {
        const int frame = m_consumed++;
        if (m_inline) {
            return m_inline(frame);
        }
        Slot& slot = m_slots[size_t(frame % m_window)];
        std::unique_lock lock(m_mutex);
        m_ready.wait(lock, [&] { return slot.result.has_value() || slot.error; });
        if (slot.error) {
            std::rethrow_exception(std::exchange(slot.error, nullptr));
        }
        Result result = std::move(*slot.result);
        slot.result.reset();
        m_released = m_consumed;
        lock.unlock();
        m_space.notify_all();
        return result;
    }

private:
    struct Slot {
        std::optional<Result> result;
        std::exception_ptr error;
    };

    void stopAndJoin() {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_space.notify_all();
        for (std::thread& worker : m_workers) {
            worker.join();
        }
    }

    void runWorker(const Work& work) {
        std::unique_lock lock(m_mutex);
        while (true) {
            m_space.wait(lock, [&] {
                return m_stop || m_taken >= m_frameCount || m_taken < m_released + m_window;
            });
            if (m_stop || m_taken >= m_frameCount) {
                return;
            }
            const int frame = m_taken++;
            lock.unlock();
            std::optional<Result> result;
            std::exception_ptr error;
            try {
                result.emplace(work(frame));
            } catch (...) {
                error = std::current_exception();
            }
            lock.lock();
            Slot& slot = m_slots[size_t(frame % m_window)];
            slot.result = std::move(result);
            slot.error = error;
            if (error) {
                // Frames after a failed one are never consumed.
                m_stop = true;
                m_space.notify_all();
            }
            m_ready.notify_all();
        }
    }

    const int m_frameCount;
    const int m_window;
    Work m_inline;
    int m_consumed = 0; // calling thread only

    std::mutex m_mutex;
    std::condition_variable m_ready; // a slot was filled
    std::condition_variable m_space; // a slot was freed, or stop
    std::vector<Slot> m_slots;       // frame f waits in slot f % window
    int m_taken = 0;                 // frames handed to workers so far
    int m_released = 0;              // frames consumed so far
    bool m_stop = false;
    std::vector<std::thread> m_workers;
};

} // namespace kelto
