// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/file_dialog.h"

#include <string>

namespace sorabune {

// The file-open dialog over QFileDialog: no title of its own, no initial folder,
// one filter, "midi(*.mid)". Cancelling leaves the file name empty. Qt's own
// dialog is used rather than the desktop's, because only it matches the pattern
// without regard to case everywhere (SONG.MID is listed beside song.mid), and
// because it behaves the same under every desktop and in tests.
class QtFileDialog final : public FileDialog {
public:
    void showOpen() override;
    std::string fileName() const override;

private:
    std::string m_fileName;
};

} // namespace sorabune
