// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace sorabune::testing {

// Environment variables set for one test and put back as they were when it
// ends: every test in the process shares its environment.
class ScopedEnvironment {
public:
    explicit ScopedEnvironment(const std::vector<std::pair<std::string, std::string>> &values)
    {
        for (const auto &[name, value] : values) {
            const char *before = std::getenv(name.c_str());
            m_before.emplace_back(name, before ? std::optional<std::string>(before) : std::nullopt);
            ::setenv(name.c_str(), value.c_str(), 1);
        }
    }
    ~ScopedEnvironment()
    {
        for (auto each = m_before.rbegin(); each != m_before.rend(); ++each) {
            if (each->second)
                ::setenv(each->first.c_str(), each->second->c_str(), 1);
            else
                ::unsetenv(each->first.c_str());
        }
    }
    ScopedEnvironment(const ScopedEnvironment &) = delete;
    ScopedEnvironment &operator=(const ScopedEnvironment &) = delete;

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> m_before;
};

} // namespace sorabune::testing
