// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace orvane {

// What an entry of a folder is, by the entry itself: a link is a link whatever it points at.
enum class EntryKind { kFolder, kFile, kLink, kOther };

struct FolderEntry {
    std::string path;
    EntryKind kind = EntryKind::kOther;
};

// Lists the entries of one folder as full paths, sorted by the bytes of their names so that
// positions (and the site numbers taken from them) do not depend on the file system. Entries
// whose name begins with "." are never listed.
class FolderWalker {
public:
    // Every entry of `folder`; throws OrvaneError when it cannot be listed.
    static std::vector<FolderEntry> Entries(const std::string& folder);
};

// Why a link is not followed, as a phrase: "a symbolic link to a folder", "a symbolic link
// loop", "a symbolic link to nothing", "a symbolic link to a file".
std::string LinkDescription(const std::string& path);

// The text after the last "/" (trailing ones aside).
std::string LastPathPart(const std::string& path);

// A site folder's number: a name longer than four characters that begins with "site" gives
// the integer value of the number that begins the text after those four; any other name
// gives the folder's 1-based position among its species folder's sub-folders.
int SiteFolderNumber(const std::string& folder_name, int position);

}  // namespace orvane
