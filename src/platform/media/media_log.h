// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/media/media_error.h"

#include <QLoggingCategory>

namespace sorabune {

// The media commands and the MIDI player, in the program and in the module,
// under kMediaLog: its debug lines trace a MIDI alarm step by step.
Q_DECLARE_LOGGING_CATEGORY(lcMedia)

// Why a media command or a preparation failed, in words.
const char *reason(MediaError error);

} // namespace sorabune
