// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <map>
#include <string>
#include <vector>

namespace sorabune::bench {

// The probe's command line after the scenario: "--name value" pairs, then "--"
// and the program to run with its arguments.
class Options {
public:
    Options(int argc, char **argv);

    std::string text(const std::string &name, const std::string &fallback = {}) const;
    double number(const std::string &name, double fallback) const;
    const std::vector<std::string> &program() const { return m_program; }

private:
    std::map<std::string, std::string> m_values;
    std::vector<std::string> m_program;
};

} // namespace sorabune::bench
