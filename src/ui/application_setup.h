// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace sorabune {

// The program's name, version and desktop identity, and the widget style the
// fixed layout is measured against. Call before the QApplication is made.
void setUpApplication();

} // namespace sorabune
