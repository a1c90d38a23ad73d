// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/helper_process.h"

#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace sorabune::testing {

HelperProcess::HelperProcess(const char *script)
{
    const std::string path = std::string(SORABUNE_TEST_SUPPORT_DIR "/") + script;
    int toHelper[2];
    int fromHelper[2];
    if (::pipe2(toHelper, O_CLOEXEC) != 0 || ::pipe2(fromHelper, O_CLOEXEC) != 0) {
        m_error = "no pipe";
        return;
    }
    m_pid = ::fork();
    if (m_pid == 0) {
        ::dup2(toHelper[0], STDIN_FILENO);
        ::dup2(fromHelper[1], STDOUT_FILENO);
        ::execl("/usr/bin/python3", "python3", path.c_str(), static_cast<char *>(nullptr));
        ::_exit(127);
    }
    ::close(toHelper[0]);
    ::close(fromHelper[1]);
    m_commands = ::fdopen(toHelper[1], "w");
    m_answers = ::fdopen(fromHelper[0], "r");
    if (m_pid < 0) {
        m_error = "fork failed";
        return;
    }

    for (std::string line = readLine(); line != "ready"; line = readLine()) {
        const std::size_t equals = line.find('=');
        if (line.empty() || line.starts_with("error: ") || equals == std::string::npos) {
            m_error = line.empty() ? std::string(script) + " ended without a word" : line;
            return;
        }
        m_environment.emplace_back(line.substr(0, equals), line.substr(equals + 1));
    }
}

HelperProcess::~HelperProcess()
{
    if (m_commands)
        std::fclose(m_commands); // end of input: the helper stops the server and cleans up
    if (m_answers)
        std::fclose(m_answers);
    if (m_pid > 0) {
        int status = 0;
        ::waitpid(m_pid, &status, 0);
    }
}

void HelperProcess::exportClientEnvironment() const
{
    for (const auto &[name, value] : m_environment)
        ::setenv(name.c_str(), value.c_str(), 1);
}

std::string HelperProcess::command(const std::string &line)
{
    if (!running())
        return m_error;
    std::fputs((line + "\n").c_str(), m_commands);
    std::fflush(m_commands);
    return readLine();
}

std::string HelperProcess::readLine()
{
    char *buffer = nullptr;
    std::size_t capacity = 0;
    const ssize_t length = ::getline(&buffer, &capacity, m_answers);
    std::string line = length > 0 ? std::string(buffer, static_cast<std::size_t>(length)) : std::string();
    std::free(buffer);
    if (!line.empty() && line.back() == '\n')
        line.pop_back();
    return line;
}

} // namespace sorabune::testing
