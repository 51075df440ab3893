#pragma once

#include <span>
#include <string>
#include <string_view>

#include "cli/options.h"

namespace inst::cli {

// The help text, also shown after a usage error. `frontEnds` are the names --ui offers.
std::string Usage(Syntax syntax, std::span<const std::string_view> frontEnds);

}  // namespace inst::cli
