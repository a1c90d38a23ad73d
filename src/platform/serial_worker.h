#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace sorabune {

// Runs jobs one after another, in the order posted, on a background thread
// that exists only while there are jobs. The thread is detached: a job that
// hangs (a sound server that never answers) holds up only the jobs behind it,
// never the caller. Jobs keep what they use alive by capturing it. Copies are
// handles to the same queue, so a job can post to another worker.
class SerialWorker {
public:
    SerialWorker();

    // Never throws: if no thread can be started, the job is dropped.
    void post(std::function<void()> job) const;
    // Whether every job posted so far has run, after waiting up to the limit.
    bool waitUntilIdle(std::chrono::milliseconds limit) const;

private:
    struct Queue;
    static void drain(const std::shared_ptr<Queue> &queue);

    std::shared_ptr<Queue> m_queue;
};

} // namespace sorabune
