// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

namespace sorabune {

// The one place where work that may hang runs (a sound server or a bus that
// accepts a connection and never answers): starting and stopping audio, the
// theme bell, the system bus. Nothing else in the program starts a thread.
//
// Jobs run one after another, in the order posted, on a thread that exists
// only while there are jobs. The rule for a call that never returns: it holds
// up the jobs posted after it to the same worker and nothing else. Callers never
// wait for a job, except in waitUntilIdle(), which gives up at its limit. The
// thread is detached, so nothing waits for it at exit either: a thread stuck in a
// call is left there, with its job's shares, when the process ends.
// Copies are handles to the same queue, so a job can post to another worker.
class SerialWorker {
public:
    SerialWorker();

    // Runs job(shared...) on the worker. A job captures nothing (refused here at
    // compile time), so it cannot hold on to its owner: it gets what it uses as
    // shares, which the worker keeps until the job is done, however long a hung
    // call holds it there after the owner has gone. A job that must reach its
    // owner does so through a share that the owner cuts off when it goes.
    // Never throws. False when no thread could be started: the job is dropped.
    template<typename Job, typename... Shared>
    bool post(Job job, std::shared_ptr<Shared>... shared) const
    {
        static_assert(std::is_empty_v<Job>, "a job captures nothing: pass what it uses as std::shared_ptr");
        return postJob([job, ... shared = std::move(shared)]() mutable { job(shared...); });
    }
    // Whether every job posted so far has run, after waiting up to the limit.
    bool waitUntilIdle(std::chrono::milliseconds limit) const;

private:
    struct Queue;
    bool postJob(std::function<void()> job) const;
    static void drain(const std::shared_ptr<Queue> &queue);

    std::shared_ptr<Queue> m_queue;
};

} // namespace sorabune
