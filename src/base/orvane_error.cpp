#include "base/orvane_error.h"

namespace orvane {

FileNotFoundError::FileNotFoundError(const std::string& path)
    : OrvaneError("File " + path + "  not found! About to quit! \n"), path_(path) {}

}  // namespace orvane
