// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "base/orvane_error.h"
#include "store/account_rights.h"

namespace orvane {

class AccessDenied;
class ProcessingSession;

// What a command needs of the account: reading needs no more than any role; making records of
// no study (a study, a feature space) the editor role; changing the current study's records
// an editor of that study (or an admin); sensors and accounts the admin role.
enum class Need { kAnyRole, kEditor, kStudyEditor, kAdmin };

// One command as both faces offer it: the command line's words, the window's menu command
// (0 for none), the name messages give it, and what it needs.
struct CommandRule {
    const char* command;
    int menu_id;
    const char* label;
    Need need;
};

// Every command of the command line, and the window's menu commands that change data.
const std::vector<CommandRule>& CommandRules();
// The rule of a command line command or of a menu command; null when none is declared.
const CommandRule* RuleOfCommand(const std::string& command);
const CommandRule* RuleOfMenu(int menu_id);

// Why the account may not run the command on the current study, in the words both faces show;
// empty when it may.
std::string CommandRefusal(const CommandRule& rule, const AccountRights& rights, int study_id,
                           const std::string& study_name);

// A command refused for want of a right, before it did anything.
class RightRefused : public OrvaneError {
public:
    using OrvaneError::OrvaneError;
};

// Throws RightRefused with CommandRefusal's message when the session's account may not run the
// command on the session's current study.
void RequireRight(const CommandRule& rule, const ProcessingSession& session);

// The server's refusal of a statement in the same words: the command (or, without a rule,
// "This change"), the role it needs and the account's, or the study the account does not
// edit. Never the statement's text.
std::string ServerRefusalText(const AccessDenied& denied, const CommandRule* rule,
                              ProcessingSession& session);

// "account: NAME", "role: ROLE" and, for an editor, the studies it edits, one line each.
std::string WhoAmIText(const AccountRights& rights);
// "NAME (ROLE)" for a status bar.
std::string AccountLabel(const AccountRights& rights);

}  // namespace orvane
