// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace orvane {

// The fields of an ENVI header (.hdr): "key = value" lines, a value in braces running over
// as many lines as it needs. Keys are kept in lower case with single blanks ("wavelength
// units"), values without their braces and outer blanks.
class EnviHeader {
  public:
    // Reads `path`; nullopt when it is not an ENVI header (its first line is not "ENVI").
    // Throws OrvaneError naming the file when it cannot be read or a braced value never closes.
    static std::optional<EnviHeader> Read(const std::string& path);
    // The header beside an image: IMAGE.hdr for IMAGE.EXT, else IMAGE.EXT.hdr (either case of
    // the extension); nullopt when there is none.
    static std::optional<EnviHeader> Beside(const std::string& image_path);

    const std::string& Path() const { return path_; }
    bool Has(const std::string& key) const { return fields_.count(key) != 0; }
    // The value, or "" when the key is missing.
    std::string Value(const std::string& key) const;
    // A braced list split at its commas, each item trimmed; empty when the key is missing.
    std::vector<std::string> List(const std::string& key) const;

  private:
    std::string path_;
    std::map<std::string, std::string> fields_;
};

// `text` as a number when it is one, whole and finite (a point as the decimal separator, in
// any locale); nullopt otherwise.
std::optional<double> NumberIn(const std::string& text);

}  // namespace orvane
