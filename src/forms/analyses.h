// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "base/choice_words.h"
#include "forms/result_tables.h"

namespace orvane {

class Frontend;
class Workspace;

// One option of an analysis: a choice among words the command line takes as --name WORD and
// the window shows as a group of buttons. A choice may carry a count (k-fold's K): the command
// line writes it WORD:N, the window gives it a spin box beside its button.
struct AnalysisOption {
    struct Word {
        std::string word;
        std::string label;
        int value;
    };
    struct Count {
        int choice = -1;  // the value whose word takes the count; -1 for none
        std::string label;  // "K:"
        std::string suffix; // " folds"
        int low = 0, high = 0, fallback = 0;
    };

    std::string name;   // --name, and the key of its value
    std::string title;  // the window's group title
    std::vector<Word> words;
    int fallback = 0;
    // Older words still read on the command line, offered nowhere.
    std::vector<Word> synonyms;
    Count count;
    // Reads a typed value where the words alone cannot (a count with its own rule); empty
    // for the plain rule of Parse.
    std::function<int(const std::string& typed, int& count)> parse;

    template <typename E>
    static AnalysisOption Of(std::string name, std::string title, ChoiceTable<E> table,
                             E fallback) {
        AnalysisOption option;
        option.name = std::move(name);
        option.title = std::move(title);
        option.fallback = static_cast<int>(fallback);
        for (const Choice<E>& c : table)
            option.words.push_back({c.word, c.label, static_cast<int>(c.value)});
        return option;
    }
    // "folder|latin|..." as --help lists the words, with ":K" after the one taking a count.
    std::string Words() const;
    // The value of a typed word (any case); the count goes to `count`. Throws OrvaneError
    // naming the option and its words.
    int Parse(const std::string& typed, int& count) const;
};

// The chosen value of every option, by name; a choice's count under "<name>:count".
class AnalysisValues {
  public:
    int Get(const std::string& name) const;
    int Count(const std::string& name) const { return Get(name + ":count"); }
    void Set(const std::string& name, int value) { values_[name] = value; }
    void SetCount(const std::string& name, int count) { values_[name + ":count"] = count; }

  private:
    std::map<std::string, int> values_;
};

// What an analysis leaves: the files it wrote (empty when it could not write its result) and
// the tables the window shows.
struct AnalysisOutcome {
    std::vector<std::string> paths;
    std::vector<ResultTable> tables;
};

// An analysis of the library both faces offer, declared once: the command line's command, its
// usage and help, the window's menu entry and dialog, its options, and the core function
// that computes and writes its result. Each face makes its command, its --help, its menu
// entry and its dialog from this, and shows the outcome.
struct Analysis {
    std::string command;       // orvane-cli COMMAND
    std::string menu_text;     // under Statistics
    int menu_id = 0;           // the menu command's id; 0 takes one after the fixed ids
    std::string dialog_title;  // the options dialog's title
    std::string help;          // --help's text under the usage line
    std::vector<AnalysisOption> options;
    // Runs on the library the chain settings chose (loaded by the caller); reports through
    // the frontend.
    std::function<AnalysisOutcome(Workspace&, Frontend&, const AnalysisValues&)> run;

    // The defaults of every option.
    AnalysisValues Defaults() const;
    // "da [--names ...] [--validate ...]"
    std::string Usage() const;
};

// Every declared analysis, in the Statistics menu's order.
const std::vector<Analysis>& Analyses();
// The analysis of a command word or menu id; null when none has it.
const Analysis* FindAnalysis(const std::string& command);
const Analysis* FindAnalysisByMenuId(int menu_id);

}  // namespace orvane
