// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace orvane {

class Database;

// The roles of a lab's accounts, from the least to the most rights.
enum class Role { kReader = 0, kEditor = 1, kAdmin = 2 };

// "reader", "editor" or "admin", as lab_account stores them.
const char* RoleWord(Role role);

// A study an editor was granted.
struct EditedStudy {
    int id = 0;
    std::string name;
};

// What the session's account may do: its name (the user name it logged in with), its role and,
// for an editor, the studies it edits. An account the lab does not list (the owner of a private
// database, an account made by hand) is bound by the server's grants alone and counts as admin.
struct AccountRights {
    std::string account;
    Role role = Role::kAdmin;
    bool listed = false;  // has a lab_account row
    std::vector<EditedStudy> studies;

    bool AtLeast(Role needed) const { return static_cast<int>(role) >= static_cast<int>(needed); }
    // Whether the account may change the study's records (an admin any study, an editor those
    // granted it, a reader none); study 0 (none yet) asks whether it may make one.
    bool MayChangeStudy(int study_id) const;
};

// The rights of the connection's account, as the schema's triggers judge them.
AccountRights ReadAccountRights(Database& db);

}  // namespace orvane
