// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/analyses.h"

#include <fmt/format.h>

#include "base/orvane_error.h"
#include "base/shown_text.h"
#include "forms/menu_command.h"
#include "forms/workspace.h"
#include "spectra/species_names.h"
#include "stats/cross_validation.h"
#include "stats/discriminant_analysis.h"
#include "stats/separability.h"

namespace orvane {

std::string AnalysisOption::Words() const {
    std::string listed;
    for (const Word& w : words) {
        if (!listed.empty()) listed += '|';
        listed += w.word;
        if (w.value == count.choice)
            listed += "[:" + count.label.substr(0, count.label.find(':')) + "]";
    }
    return listed;
}

int AnalysisOption::Parse(const std::string& typed, int& chosen_count) const {
    chosen_count = count.fallback;
    if (parse) try {
            return parse(typed, chosen_count);
        } catch (const OrvaneError& e) {
            throw OrvaneError("--" + name + ": " + e.what());
        }
    for (const std::vector<Word>* list : {&words, &synonyms})
        for (const Word& w : *list)
            if (SameWord(typed, w.word)) return w.value;
    throw OrvaneError("--" + name + " must be " + Words() + ", not \"" + EscapeControls(typed) +
                      "\"");
}

int AnalysisValues::Get(const std::string& name) const {
    const auto it = values_.find(name);
    if (it == values_.end()) throw OrvaneError("The analysis has no option \"" + name + "\".");
    return it->second;
}

AnalysisValues Analysis::Defaults() const {
    AnalysisValues values;
    for (const AnalysisOption& option : options) {
        values.Set(option.name, option.fallback);
        values.SetCount(option.name, option.count.fallback);
    }
    return values;
}

std::string Analysis::Usage() const {
    std::string usage = command;
    for (const AnalysisOption& option : options)
        usage += " [--" + option.name + " " + option.Words() + "]";
    return usage;
}

namespace {

AnalysisOption NamesOption() {
    AnalysisOption names = AnalysisOption::Of("names", "Names", kNameTypes, kFolderName);
    // Scripts written when the local name was called "maori" keep working.
    names.synonyms.push_back({kLocalNameOldWord, "Local", kLocalName});
    return names;
}

enum ValidationChoice { kResubstitution, kLeaveOneOut, kKFold };

AnalysisOption ValidationOption() {
    AnalysisOption option;
    option.name = "validate";
    option.title = "Validation";
    option.words = {
        {"resubstitution", "Resubstitution (the spectra the statistics came from)",
         kResubstitution},
        {"loo", "Leave-one-out", kLeaveOneOut},
        {"kfold", "k-fold, class-wise (i-th spectrum in fold i mod K)", kKFold}};
    option.fallback = kResubstitution;
    option.count = {kKFold, "K:", " folds", 2, 1000, kDefaultFolds};
    // The one reader of validation words, which the sensor comparison shares.
    option.parse = [](const std::string& typed, int& folds) {
        const Validation v = ParseValidation(typed);
        folds = v.folds;
        return static_cast<int>(v.kind);
    };
    return option;
}

Validation ValidationOf(const AnalysisValues& values) {
    Validation v;
    v.kind = static_cast<Validation::Kind>(values.Get("validate"));
    v.folds = values.Count("validate");
    return v;
}

AnalysisOutcome DiscriminantAnalysis(Workspace& space, Frontend& frontend,
                                     const AnalysisValues& values) {
    const AccuracyResult result =
        RunDiscriminantAnalysis(space.Library(), space.Loader(), space.Output(), frontend,
                                values.Get("names"), ValidationOf(values));
    if (result.path.empty()) return {};
    return {{result.path}, {ErrorMatrixTable(result)}};
}

AnalysisOutcome Separability(Workspace& space, Frontend& frontend, const AnalysisValues& values) {
    SeparabilitySettings settings;
    settings.name_type = values.Get("names");
    settings.distance = values.Get("distance");
    const SeparabilityResult result =
        SeparabilityReport(space.Library(), space.Output(), frontend, settings);
    if (result.path.empty()) return {};
    // The tables show the distances the report wrote, computed once.
    return {{result.path},
            SeparabilityTables(ClassNames(space.Library(), settings.name_type),
                               result.distances)};
}

}  // namespace

const std::vector<Analysis>& Analyses() {
    static const std::vector<Analysis> analyses = [] {
        std::vector<Analysis> declared = {
        {"da", "Discriminant Analysis", kCmdDiscriminantAnalysis, "Discriminant Analysis",
         "Discriminant analysis of the library species; writes \"Error Matrix.csv\".\n"
         "      --validate: resubstitution (default) classifies the spectra the class statistics\n"
         "      came from; loo (leave-one-out) and kfold[:K] (K >= 2, default 5, at most the\n"
         "      smallest class) classify each spectrum by statistics estimated without it. The\n"
         "      k folds are class-wise: the i-th spectrum of a class by database id (from 0)\n"
         "      is in fold i mod K. They write \"Error Matrix (leave-one-out).csv\" or\n"
         "      \"Error Matrix (K-fold).csv\", whose last line names the validation.",
         {NamesOption(), ValidationOption()}, DiscriminantAnalysis},
        {"separability", "Separability Report", kCmdSeparability, "JM/B Distance",
         "JM and B distances of every pair of library classes; writes \"JM and B output.csv\" "
         "(\"JM output.csv\", \"B output.csv\").",
         {NamesOption(),
          AnalysisOption::Of("distance", "Distance Type", kDistances, SeparabilitySettings::kBoth)},
         Separability},
        };
        // An analysis without a fixed id takes the next after the fixed ones.
        int next = kCmdFirstDeclaredAnalysis;
        for (Analysis& a : declared)
            if (a.menu_id == 0) a.menu_id = next++;
        return declared;
    }();
    return analyses;
}

const Analysis* FindAnalysis(const std::string& command) {
    for (const Analysis& a : Analyses())
        if (a.command == command) return &a;
    return nullptr;
}

const Analysis* FindAnalysisByMenuId(int menu_id) {
    for (const Analysis& a : Analyses())
        if (a.menu_id == menu_id) return &a;
    return nullptr;
}

}  // namespace orvane
