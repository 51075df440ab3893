#pragma once

#include <cstdint>

namespace inst::mcierr {

// The result codes of the Windows multimedia command interface that this interpreter returns,
// with the values Windows gives them, so that callers see the same numbers on every platform.
inline constexpr std::uint32_t kNone = 0;
inline constexpr std::uint32_t kUnrecognizedCommand = 261;  // also a keyword the device lacks
inline constexpr std::uint32_t kInvalidDeviceName = 263;    // no such alias, no such device type
inline constexpr std::uint32_t kMissingCommandString = 267;
inline constexpr std::uint32_t kParamOverflow = 268;  // the reply does not fit the buffer
inline constexpr std::uint32_t kBadInteger = 270;
inline constexpr std::uint32_t kMissingParameter = 273;
inline constexpr std::uint32_t kUnsupportedFunction = 274;
inline constexpr std::uint32_t kFileNotFound = 275;
inline constexpr std::uint32_t kExtensionNotFound = 281;
inline constexpr std::uint32_t kOutOfRange = 282;
inline constexpr std::uint32_t kFlagsNotCompatible = 284;
inline constexpr std::uint32_t kDuplicateAlias = 289;
inline constexpr std::uint32_t kMustUseShareable = 291;  // the one output device is taken
inline constexpr std::uint32_t kMissingDeviceName = 292;
inline constexpr std::uint32_t kNoClosingQuote = 294;
inline constexpr std::uint32_t kInvalidFile = 296;
inline constexpr std::uint32_t kNonapplicableFunction = 302;  // not in this state

}  // namespace inst::mcierr
