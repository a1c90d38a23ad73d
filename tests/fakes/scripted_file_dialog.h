// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/file_dialog.h"

#include <stdexcept>
#include <string>
#include <utility>

namespace sorabune::testing {

// A file dialog that answers what the test scripted: a file name (empty for a
// cancel), or an error from either call.
class ScriptedFileDialog final : public FileDialog {
public:
    enum class Failure { None, InShowOpen, InFileName };

    void answer(std::string fileName)
    {
        m_fileName = std::move(fileName);
        m_failure = Failure::None;
    }
    void fail(Failure where) { m_failure = where; }

    void showOpen() override
    {
        ++shown;
        if (m_failure == Failure::InShowOpen)
            throw std::runtime_error("the dialog could not be shown");
    }
    std::string fileName() const override
    {
        if (m_failure == Failure::InFileName)
            throw std::runtime_error("no file name to read");
        return m_fileName;
    }

    int shown = 0;

private:
    std::string m_fileName;
    Failure m_failure = Failure::None;
};

} // namespace sorabune::testing
