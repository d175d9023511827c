#pragma once

namespace orvane {

// The release both programs report with --version; the build sets it from the project's.
constexpr const char* kOrvaneVersion = ORVANE_VERSION;

}  // namespace orvane
