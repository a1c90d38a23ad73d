// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/serial_worker.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <thread>

namespace sorabune {
namespace {

using namespace std::chrono_literals;

// A call that hangs until the test lets it return.
struct HungCall {
    std::promise<void> entered;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
};

struct OwnerState {
    int answers = 0;
};

// The owner, its worker and its own share go while the job is inside the call:
// the job still finds what it uses when the call returns, and lets it go after.
TEST(SerialWorkerTest, OwnerMayGoWhileItsJobHangs)
{
    const auto call = std::make_shared<HungCall>();
    std::weak_ptr<OwnerState> left;
    {
        const SerialWorker worker;
        const auto state = std::make_shared<OwnerState>();
        left = state;
        ASSERT_TRUE(worker.post(
            [](const auto &call, const auto &state) {
                call->entered.set_value();
                call->released.wait();
                ++state->answers;
            },
            call, state));
        call->entered.get_future().wait();
    }
    ASSERT_FALSE(left.expired()) << "the job lost what it uses";
    call->release.set_value();
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!left.expired() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    EXPECT_TRUE(left.expired()) << "the job kept its share after it ended";
}

} // namespace
} // namespace sorabune
