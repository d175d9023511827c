#pragma once

#include <string>
#include <vector>

namespace orvane {

// Lists the entries of one folder as full paths, sorted by the bytes of their names so that
// positions (and the site numbers taken from them) do not depend on the file system. Entries
// whose name begins with "." are never listed.
class FolderWalker {
public:
    // Sub-folders (real folders, not links to them) of `folder`.
    static std::vector<std::string> SubFolders(const std::string& folder);
    // Every other entry of `folder`: files of any extension, links, devices.
    static std::vector<std::string> Files(const std::string& folder);
};

// The text after the last "/" (trailing ones aside).
std::string LastPathPart(const std::string& path);

// A site folder's number: a name longer than four characters that begins with "site" gives
// the integer value of the number that begins the text after those four; any other name
// gives the folder's 1-based position among its species folder's sub-folders.
int SiteFolderNumber(const std::string& folder_name, int position);

}  // namespace orvane
