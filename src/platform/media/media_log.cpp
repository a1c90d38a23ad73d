// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/media_log.h"

namespace sorabune {

Q_LOGGING_CATEGORY(lcMedia, "sorabune.media", QtWarningMsg)

} // namespace sorabune
