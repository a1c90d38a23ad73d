// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/serial_worker.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace sorabune {

struct SerialWorker::Queue {
    std::mutex mutex;
    std::condition_variable idle;
    std::deque<std::function<void()>> jobs;
    bool threadRunning = false;
};

SerialWorker::SerialWorker()
    : m_queue(std::make_shared<Queue>())
{
}

bool SerialWorker::postJob(std::function<void()> job) const
{
    const std::lock_guard lock(m_queue->mutex);
    m_queue->jobs.push_back(std::move(job));
    if (m_queue->threadRunning)
        return true;
    try {
        std::thread(&SerialWorker::drain, m_queue).detach();
        m_queue->threadRunning = true;
        return true;
    } catch (const std::system_error &) {
        m_queue->jobs.clear(); // whoever waits for them gives up at its bound
        return false;
    }
}

bool SerialWorker::waitUntilIdle(std::chrono::milliseconds limit) const
{
    std::unique_lock lock(m_queue->mutex);
    return m_queue->idle.wait_for(lock, limit, [this] { return !m_queue->threadRunning; });
}

void SerialWorker::drain(const std::shared_ptr<Queue> &queue)
{
    std::unique_lock lock(queue->mutex);
    while (!queue->jobs.empty()) {
        std::function<void()> job = std::move(queue->jobs.front());
        queue->jobs.pop_front();
        lock.unlock();
        try {
            job();
        } catch (...) {
            // Out of memory in a background job: whoever waits for its answer gets none and gives up.
        }
        job = nullptr; // the job's shares go here, not under the lock
        lock.lock();
    }
    queue->threadRunning = false;
    queue->idle.notify_all();
}

} // namespace sorabune
