// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <functional>
#include <memory>

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
// call is left there, with what its jobs captured, when the process ends. So jobs
// keep what they use alive by capturing it, and reach their owner only through
// something the owner can cut off first (a context object, a cleared pointer).
// Copies are handles to the same queue, so a job can post to another worker.
class SerialWorker {
public:
    SerialWorker();

    // Never throws. False when no thread could be started: the job is dropped.
    bool post(std::function<void()> job) const;
    // Whether every job posted so far has run, after waiting up to the limit.
    bool waitUntilIdle(std::chrono::milliseconds limit) const;

private:
    struct Queue;
    static void drain(const std::shared_ptr<Queue> &queue);

    std::shared_ptr<Queue> m_queue;
};

} // namespace sorabune
