#include "platform/desktop/bus_probe.h"

#include "support/listening_socket.h"
#include "support/scratch_directory.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace sorabune {
namespace {

using namespace std::chrono_literals;

// A listening socket at `name`; the test decides whether anyone answers.
class Listener : public testing::ListeningSocket {
public:
    explicit Listener(const std::string &name)
        : ListeningSocket(name)
    {
        EXPECT_TRUE(listening()) << name;
    }
    ~Listener()
    {
        if (m_answerer.joinable())
            m_answerer.join();
    }

    // Answers the first connection the way dbus-daemon answers a bare AUTH.
    void answerOnce()
    {
        m_answerer = std::thread([fd = fd()] {
            const int client = ::accept(fd, nullptr, nullptr);
            char request[16];
            if (client >= 0 && ::recv(client, request, sizeof request, 0) > 0) {
                const char reply[] = "REJECTED EXTERNAL\r\n";
                ::send(client, reply, sizeof reply - 1, MSG_NOSIGNAL);
            }
            if (client >= 0)
                ::close(client);
        });
    }

private:
    std::thread m_answerer;
};

class BusProbeTest : public ::testing::Test {
protected:
    testing::ScratchDirectory m_directory;
    const std::string m_path = (m_directory / "bus socket").string();
    const std::string m_abstract = "@sorabune-probe-" + std::to_string(::getpid());
};

TEST_F(BusProbeTest, AnsweringBusAnswers)
{
    Listener bus(m_path);
    bus.answerOnce();
    EXPECT_EQ(ProbeBus("unix:path=" + m_directory.path().string() + "/bus%20socket,guid=1", 5s), BusAnswer::Answers);
}

TEST_F(BusProbeTest, SilentBusIsSilentWithinTheLimit)
{
    for (const std::string &name : {m_path, m_abstract}) {
        Listener bus(name);
        const std::string address = name.starts_with('@') ? "unix:abstract=" + name.substr(1) : "unix:path=" + name;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(ProbeBus(address, 300ms), BusAnswer::Silent) << address;
        EXPECT_LT(std::chrono::steady_clock::now() - start, 10s) << "the probe overran its limit: " << address;
    }
}

TEST_F(BusProbeTest, MissingOrUnfitAddresses)
{
    EXPECT_EQ(ProbeBus("unix:path=" + m_path, 1s), BusAnswer::Absent); // nobody listens
    EXPECT_EQ(ProbeBus("unix:runtime=yes", 1s), BusAnswer::Absent);
    EXPECT_EQ(ProbeBus("unix:path=" + std::string(200, 'x'), 1s), BusAnswer::Absent);
    EXPECT_EQ(ProbeBus("tcp:host=localhost,port=1", 1s), BusAnswer::Answers); // not probed: left to libdbus
}

} // namespace
} // namespace sorabune
