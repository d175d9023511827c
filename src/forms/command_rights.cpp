// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/command_rights.h"

#include <cctype>
#include <optional>

#include "base/shown_text.h"
#include "chain/processing_session.h"
#include "forms/menu_command.h"
#include "store/database.h"
#include "store/study_repository.h"

namespace orvane {

namespace {

// A study's name as a shell word: bare when it is one, else in single quotes.
std::string ShellWord(const std::string& text) {
    bool plain = !text.empty();
    for (char c : text)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.' ||
              c == ':'))
            plain = false;
    if (plain) return text;
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string RoleRefusal(const std::string& label, Role needed, const std::string& account,
                        const std::string& role) {
    return label + " needs the " + RoleWord(needed) + " role; the account " +
           EscapeControls(account) + " has the " + role + " role.";
}

std::string StudyRefusal(const std::string& label, const std::string& study,
                         const std::string& account) {
    return label + " changes the study \"" + EscapeControls(study) + "\", of which the account " +
           EscapeControls(account) + " is not an editor; an admin can grant it with \"orvane-db "
           "lab grant " + EscapeControls(ShellWord(account)) + " " +
           EscapeControls(ShellWord(study)) + "\".";
}

Role RoleFor(Need need) { return need == Need::kAdmin ? Role::kAdmin : Role::kEditor; }

}  // namespace

const std::vector<CommandRule>& CommandRules() {
    static const std::vector<CommandRule> rules = {
        // Reading: any role.
        {"sensors", 0, "Listing the sensors", Need::kAnyRole},
        {"studies", 0, "Listing the studies", Need::kAnyRole},
        {"whoami", 0, "Whoami", Need::kAnyRole},
        {"study report", kCmdStudyReport, "Study report", Need::kAnyRole},
        {"study history", 0, "Study history", Need::kAnyRole},
        {"species list", 0, "Species list", Need::kAnyRole},
        {"filter show", 0, "Filter show", Need::kAnyRole},
        {"splice show", 0, "Splice show", Need::kAnyRole},
        {"continuum show", 0, "Continuum show", Need::kAnyRole},
        {"feature-space list", 0, "Feature space list", Need::kAnyRole},
        {"feature-space show", 0, "Feature space show", Need::kAnyRole},
        {"open", kCmdOpen, "Open", Need::kAnyRole},
        {"zprofile", kCmdLoadZProfile, "Z profile", Need::kAnyRole},
        {"export", kCmdExport, "Export", Need::kAnyRole},
        {"plot", 0, "Plot", Need::kAnyRole},
        {"spectra list", 0, "Spectra list", Need::kAnyRole},
        {"library status", 0, "Library status", Need::kAnyRole},
        {"classify", 0, "Classify", Need::kAnyRole},
        {"da", kCmdDiscriminantAnalysis, "Discriminant analysis", Need::kAnyRole},
        {"separability", kCmdSeparability, "Separability", Need::kAnyRole},
        {"da-independent", kCmdIndependentSet, "Discriminant analysis of an independent set",
         Need::kAnyRole},
        {"site-check", kCmdSiteAccuracy, "Site accuracy check", Need::kAnyRole},
        {"map", kCmdMapImage, "Map", Need::kAnyRole},
        {"map-accuracy", kCmdMapAccuracy, "Map accuracy", Need::kAnyRole},
        {"endmember list", 0, "Endmember list", Need::kAnyRole},
        {"mixture show", 0, "Mixture show", Need::kAnyRole},
        {"unmix", kCmdUnmix, "Unmixing", Need::kAnyRole},
        // Records of no study: any editor.
        {"study create", kCmdCreateStudy, "Study create", Need::kEditor},
        {"study import-library", 0, "Study import-library", Need::kEditor},
        {"feature-space new", kCmdFeatureSpaceNew, "Feature space new", Need::kEditor},
        {"feature-space edit", kCmdFeatureSpaceEdit, "Feature space edit", Need::kEditor},
        {"feature-space copy", kCmdFeatureSpaceCopyEdit, "Feature space copy", Need::kEditor},
        {"feature-space delete", kCmdFeatureSpaceDelete, "Feature space delete", Need::kEditor},
        // The current study's records: its editors.
        {"import", kCmdImportSpectra, "Import", Need::kStudyEditor},
        {"library build", kCmdBuildLibrary, "Library build", Need::kStudyEditor},
        {"species rename", kCmdSpeciesNames, "Species rename", Need::kStudyEditor},
        {"filter set", kCmdWavebandFilterSetup, "Filter set", Need::kStudyEditor},
        {"filter add-defaults", 0, "Filter add-defaults", Need::kStudyEditor},
        {"smoothing set", 0, "Smoothing set", Need::kStudyEditor},
        {"derivative set", 0, "Derivative set", Need::kStudyEditor},
        {"splice set", 0, "Splice set", Need::kStudyEditor},
        {"continuum set", 0, "Continuum set", Need::kStudyEditor},
        {"spectra disable", 0, "Spectra disable", Need::kStudyEditor},
        {"spectra enable", 0, "Spectra enable", Need::kStudyEditor},
        {"endmember add", kCmdEndmemberSelection, "Endmember add", Need::kStudyEditor},
        {"endmember remove", 0, "Endmember remove", Need::kStudyEditor},
        {"mixture set", kCmdAbundanceSettings, "Mixture set", Need::kStudyEditor},
        {"mixture remove", 0, "Mixture remove", Need::kStudyEditor},
        // The analysis is stored with the study for its PCT feature spaces.
        {"pca", kCmdPca, "PCA", Need::kStudyEditor},
        // Builds each sensor's library of the study.
        {"compare", kCmdCompareSensors, "Compare", Need::kStudyEditor},
        // A study goes with its editors' consent, as the server's rights have it.
        {"study delete", kCmdDeleteStudy, "Study delete", Need::kStudyEditor},
        // Sensors, which every study shares: admins.
        {"sensor import", kCmdImportSensor, "Sensor import", Need::kAdmin},
        {"sensor delete", kCmdDeleteSensor, "Sensor delete", Need::kAdmin},
    };
    return rules;
}

const CommandRule* RuleOfCommand(const std::string& command) {
    for (const CommandRule& r : CommandRules())
        if (command == r.command) return &r;
    return nullptr;
}

const CommandRule* RuleOfMenu(int menu_id) {
    if (menu_id == 0) return nullptr;
    for (const CommandRule& r : CommandRules())
        if (r.menu_id == menu_id) return &r;
    return nullptr;
}

std::string CommandRefusal(const CommandRule& rule, const AccountRights& rights, int study_id,
                           const std::string& study_name) {
    switch (rule.need) {
        case Need::kAnyRole:
            return "";
        case Need::kEditor:
        case Need::kAdmin:
            if (rights.AtLeast(RoleFor(rule.need))) return "";
            return RoleRefusal(rule.label, RoleFor(rule.need), rights.account,
                               RoleWord(rights.role));
        case Need::kStudyEditor:
            if (!rights.AtLeast(Role::kEditor))
                return RoleRefusal(rule.label, Role::kEditor, rights.account,
                                   RoleWord(rights.role));
            // Without a study the command says so itself.
            if (study_id == 0 || rights.MayChangeStudy(study_id)) return "";
            return StudyRefusal(rule.label, study_name, rights.account);
    }
    return "";
}

void RequireRight(const CommandRule& rule, const ProcessingSession& session) {
    const std::string refusal =
        CommandRefusal(rule, session.Rights(), session.StudyId(), session.StudyName());
    if (!refusal.empty()) throw RightRefused(refusal);
}

std::string ServerRefusalText(const AccessDenied& denied, const CommandRule* rule,
                              ProcessingSession& session) {
    const std::string label = rule ? rule->label : "This change";
    const AccountRights& rights = session.Rights();
    const std::string account = denied.Account().empty() ? rights.account : denied.Account();
    if (denied.StudyId() != 0) {
        std::string study = "study " + std::to_string(denied.StudyId());
        try {
            if (const std::optional<StoredStudy> s =
                    StudyRepository(session.Db()).Find(denied.StudyId()))
                study = s->name;
        } catch (const std::exception&) {
            // The number names it well enough when the name cannot be read.
        }
        return StudyRefusal(label, study, account);
    }
    const Role needed = rule && rule->need == Need::kAdmin ? Role::kAdmin : Role::kEditor;
    if (denied.Reader()) return RoleRefusal(label, needed, account, "reader");
    // The server's own grants: named by role where the lab's roles explain them.
    if (rights.listed && !rights.AtLeast(needed))
        return RoleRefusal(label, needed, account, RoleWord(rights.role));
    return label + " was refused: " + denied.what();
}

std::string WhoAmIText(const AccountRights& rights) {
    std::string text = "account: " + EscapeControls(rights.account) + "\nrole: " +
                       RoleWord(rights.role) +
                       (rights.listed ? "" : " (not a lab account: the server's grants alone "
                                             "limit it)") +
                       "\n";
    if (rights.role == Role::kEditor) {
        text += "studies:";
        if (rights.studies.empty()) text += " none";
        text += "\n";
        for (const EditedStudy& s : rights.studies)
            text += "  " + std::to_string(s.id) + "\t" + EscapeControls(s.name) + "\n";
    }
    return text;
}

std::string AccountLabel(const AccountRights& rights) {
    return EscapeControls(rights.account) + " (" + RoleWord(rights.role) + ")";
}

}  // namespace orvane
