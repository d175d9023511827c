// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/account_rights.h"

#include "store/database.h"

namespace orvane {

const char* RoleWord(Role role) {
    switch (role) {
        case Role::kReader:
            return "reader";
        case Role::kEditor:
            return "editor";
        case Role::kAdmin:
            break;
    }
    return "admin";
}

bool AccountRights::MayChangeStudy(int study_id) const {
    if (role == Role::kAdmin) return true;
    if (role == Role::kReader) return false;
    if (study_id == 0) return true;
    for (const EditedStudy& s : studies)
        if (s.id == study_id) return true;
    return false;
}

AccountRights ReadAccountRights(Database& db) {
    AccountRights rights;
    // The triggers' own rule: the user name the session logged in with, whatever its host.
    db.QueryText("select substring_index(user(), '@', 1)", rights.account);
    const std::string account = db.Escape(rights.account);
    std::string role;
    if (db.QueryText("select role from lab_account where account = '" + account + "'", role)) {
        rights.listed = true;
        rights.role = role == "reader" ? Role::kReader
                      : role == "editor" ? Role::kEditor
                                         : Role::kAdmin;
    }
    if (rights.role == Role::kEditor) {
        ResultSet rows = db.Query(
            "select s.study_id, s.name from study_member m join study s on s.study_id = "
            "m.study_id where m.account = '" + account + "' order by s.name, s.study_id");
        while (rows.Next()) rights.studies.push_back({rows.Int(0), rows.String(1)});
    }
    return rights;
}

}  // namespace orvane
