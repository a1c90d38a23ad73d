// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdio>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace sorabune::testing {

// One of the Python helpers beside this file run as a child process. Each
// starts its server, prints what a client needs, one NAME=VALUE a line, then
// "ready" (or "error: WHY"), and then answers commands a line each; the end of
// its input makes it stop the server and clean up.
class HelperProcess {
public:
    // `script`: the helper's file name, in tests/support.
    explicit HelperProcess(const char *script);
    // Ends the helper and waits for it.
    ~HelperProcess();
    HelperProcess(const HelperProcess &) = delete;
    HelperProcess &operator=(const HelperProcess &) = delete;

    bool running() const { return m_error.empty(); }
    // Why the server could not start.
    const std::string &error() const { return m_error; }
    // What a client needs to reach the server.
    const std::vector<std::pair<std::string, std::string>> &clientEnvironment() const { return m_environment; }
    // Puts clientEnvironment() into this process's environment.
    void exportClientEnvironment() const;

protected:
    // Sends one command; its one-line answer.
    std::string command(const std::string &line);

private:
    std::string readLine();

    pid_t m_pid = -1;
    std::FILE *m_commands = nullptr;
    std::FILE *m_answers = nullptr;
    std::string m_error;
    std::vector<std::pair<std::string, std::string>> m_environment;
};

// tests/support/private_xvfb.py: an X server of the test's own (DISPLAY).
class PrivateXvfb : public HelperProcess {
public:
    PrivateXvfb()
        : HelperProcess("private_xvfb.py")
    {
    }
};

} // namespace sorabune::testing
