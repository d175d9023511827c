// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/command_rights.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "forms/menu_command.h"

namespace orvane {
namespace {

AccountRights Account(const std::string& name, Role role, bool listed = true) {
    AccountRights rights;
    rights.account = name;
    rights.role = role;
    rights.listed = listed;
    if (role == Role::kEditor) rights.studies = {{3, "Kauri"}};
    return rights;
}

// Each role against each kind of need, on a study the editor edits (3) and one it does not
// (7, whose name needs quoting in the shell).
TEST(CommandRights, EachRoleMeetsOrIsToldTheNeedOfACommand) {
    const AccountRights reader = Account("rita", Role::kReader);
    const AccountRights editor = Account("ed", Role::kEditor);
    const AccountRights admin = Account("ada", Role::kAdmin);
    // The owner of a private database is not listed: an admin, whatever it runs.
    const AccountRights owner = Account("me", Role::kAdmin, false);
    struct Case {
        const AccountRights& who;
        const char* command;
        int study;
        std::string says;  // empty: allowed
    };
    const std::vector<Case> cases = {
        {reader, "study report", 7, ""},
        {reader, "export", 7, ""},
        {reader, "library build", 3,
         "Library build needs the editor role; the account rita has the reader role."},
        {reader, "feature-space new", 0,
         "Feature space new needs the editor role; the account rita has the reader role."},
        {reader, "sensor import", 0,
         "Sensor import needs the admin role; the account rita has the reader role."},
        {editor, "study create", 0, ""},
        {editor, "species rename", 3, ""},
        {editor, "species rename", 7,
         "Species rename changes the study \"Kauri Bush\", of which the account ed is not an "
         "editor; an admin can grant it with \"orvane-db lab grant ed 'Kauri Bush'\"."},
        {editor, "study delete", 3, ""},
        {editor, "study delete", 7,
         "Study delete changes the study \"Kauri Bush\", of which the account ed is not an "
         "editor; an admin can grant it with \"orvane-db lab grant ed 'Kauri Bush'\"."},
        {admin, "study delete", 7, ""},
        {admin, "mixture set", 7, ""},
        {owner, "sensor delete", 0, ""},
    };
    for (const Case& c : cases) {
        const CommandRule* rule = RuleOfCommand(c.command);
        ASSERT_NE(rule, nullptr) << c.command;
        const std::string study = c.study == 3 ? "Kauri" : "Kauri Bush";
        EXPECT_EQ(CommandRefusal(*rule, c.who, c.study, study), c.says) << c.command;
    }
    // The window's commands are judged by the same rows.
    EXPECT_EQ(RuleOfMenu(kCmdDeleteStudy), RuleOfCommand("study delete"));
    EXPECT_EQ(RuleOfMenu(kCmdSpeciesNames)->need, Need::kStudyEditor);
    EXPECT_EQ(RuleOfMenu(kCmdStudyBrowser), nullptr);
}

TEST(CommandRights, WhoAmIListsAnEditorsStudies) {
    EXPECT_EQ(WhoAmIText(Account("ed", Role::kEditor)),
              "account: ed\nrole: editor\nstudies:\n  3\tKauri\n");
    EXPECT_EQ(WhoAmIText(Account("rita", Role::kReader)), "account: rita\nrole: reader\n");
    EXPECT_EQ(WhoAmIText(Account("me", Role::kAdmin, false)),
              "account: me\nrole: admin (not a lab account: the server's grants alone limit "
              "it)\n");
    EXPECT_EQ(AccountLabel(Account("ed", Role::kEditor)), "ed (editor)");
}

}  // namespace
}  // namespace orvane
