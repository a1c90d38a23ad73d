// SPDX-License-Identifier: GPL-3.0-or-later
#include "options.h"

#include <stdexcept>

namespace sorabune::bench {

Options::Options(int argc, char **argv)
{
    int i = 2;
    for (; i < argc && std::string(argv[i]) != "--"; i += 2) {
        if (i + 1 >= argc || std::string(argv[i]).rfind("--", 0) != 0)
            throw std::invalid_argument("expected --name value, not " + std::string(argv[i]));
        m_values[std::string(argv[i]).substr(2)] = argv[i + 1];
    }
    for (++i; i < argc; ++i)
        m_program.emplace_back(argv[i]);
}

std::string Options::text(const std::string &name, const std::string &fallback) const
{
    const auto found = m_values.find(name);
    return found == m_values.end() ? fallback : found->second;
}

double Options::number(const std::string &name, double fallback) const
{
    const std::string value = text(name);
    return value.empty() ? fallback : std::stod(value);
}

} // namespace sorabune::bench
