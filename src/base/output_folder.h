#pragma once

#include <string>

namespace orvane {

class ConfigFile;

// The folder every output file goes to: the configuration's output drive followed by its
// output directory.
class OutputFolder {
public:
    explicit OutputFolder(ConfigFile& config);
    OutputFolder(std::string drive, std::string dir);

    // Drive + directory + name + "." + extension. The folder is created when missing; throws
    // OrvaneError when it cannot be.
    std::string PathFor(const std::string& name, const std::string& extension) const;
    const std::string& Dir() const { return dir_; }

private:
    std::string drive_;
    std::string dir_;
};

}  // namespace orvane
