// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/media/media_error.h"

#include <cstdint>

namespace sorabune::testing {

// What MediaCommandInterpreter::send answers for `error`.
constexpr std::int32_t code(MediaError error)
{
    return static_cast<std::int32_t>(error);
}

} // namespace sorabune::testing
