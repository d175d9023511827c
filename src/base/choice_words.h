// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

// The one case rule for the words a user types to choose something (a stage, a classifier,
// a format, a details level, a name type, ...): any case is accepted. Only ASCII letters fold,
// since every choice word is ASCII.
std::string AsciiLower(std::string_view text);
bool SameWord(std::string_view typed, std::string_view word);

// Throws OrvaneError: Unknown <what> "<word>"; choose one of <choices>.
[[noreturn]] void ThrowUnknownChoice(std::string_view what, std::string_view word,
                                     const std::string& choices);

// One choice of a list: the word the command line, the settings files and the bash completion
// take, the label the window shows, and the value it stands for.
template <typename E>
struct Choice {
    const char* word;
    const char* label;
    E value;
};

// A list of choices declared once, as a static array beside its enum, in the order the window
// shows them. Every face parses, lists and labels the choices through it.
template <typename E>
class ChoiceTable {
  public:
    template <size_t N>
    constexpr ChoiceTable(const Choice<E> (&choices)[N]) : choices_(choices), size_(N) {}
    constexpr ChoiceTable(const Choice<E>* choices, size_t size) : choices_(choices), size_(size) {}

    constexpr const Choice<E>* begin() const { return choices_; }
    constexpr const Choice<E>* end() const { return choices_ + size_; }
    constexpr size_t size() const { return size_; }
    // The first `n` choices, or those after them, for a command that offers part of a list.
    constexpr ChoiceTable First(size_t n) const { return {choices_, n < size_ ? n : size_}; }
    constexpr ChoiceTable After(size_t n) const {
        return n < size_ ? ChoiceTable(choices_ + n, size_ - n) : ChoiceTable(choices_ + size_, 0);
    }

    // The choice a word names, in any case; null when none does.
    const Choice<E>* Find(std::string_view word) const {
        for (const Choice<E>& c : *this)
            if (SameWord(word, c.word)) return &c;
        return nullptr;
    }
    // The value a word names, in any case; throws OrvaneError naming `what` and the choices.
    E Parse(std::string_view word, std::string_view what) const {
        if (const Choice<E>* c = Find(word)) return c->value;
        ThrowUnknownChoice(what, word, Words(", "));
    }
    // The words in list order, joined by `separator`.
    std::string Words(std::string_view separator = "|") const {
        std::string words;
        for (const Choice<E>& c : *this) {
            if (!words.empty()) words += separator;
            words += c.word;
        }
        return words;
    }
    std::vector<std::string> WordList() const {
        std::vector<std::string> words;
        for (const Choice<E>& c : *this) words.emplace_back(c.word);
        return words;
    }
    std::vector<std::string> Labels() const {
        std::vector<std::string> labels;
        for (const Choice<E>& c : *this) labels.emplace_back(c.label);
        return labels;
    }
    // The choice of a value; null when the list has none.
    const Choice<E>* Of(E value) const {
        for (const Choice<E>& c : *this)
            if (c.value == value) return &c;
        return nullptr;
    }

  private:
    const Choice<E>* choices_;
    size_t size_;
};

}  // namespace orvane
