#pragma once

#include <memory>
#include <string>
#include <thread>

namespace sorabune {

struct BellQueue;

// The desktop sound theme's "bell" event through libcanberra, for sessions whose
// platform bell makes no sound. Bells play on a thread of their own, one after
// another: copies started together overlap into what sounds like one bell, and
// libcanberra blocks while it reaches the sound server (against one that accepts
// but never answers: measured still waiting after 60 s).
class ThemeBell {
public:
    ThemeBell(std::string applicationName, std::string applicationId);
    ~ThemeBell();
    ThemeBell(const ThemeBell &) = delete;
    ThemeBell &operator=(const ThemeBell &) = delete;

    // Queues one bell and returns at once. The first call starts the thread,
    // which opens libcanberra.
    void ring();

private:
    // Shared with the thread, which may outlive this object (see the destructor).
    std::shared_ptr<BellQueue> m_queue;
    std::thread m_worker;
};

} // namespace sorabune
