#pragma once

#include <string>
#include <vector>

#include "forms/main_form.h"

namespace orvane {

struct SpeciesEntry;

// A list box of the mixing dialogs: species folder names with their ids as item data, kept
// sorted by text (letters compared without case, as the list boxes of the platform do).
class SpeciesListBox {
  public:
    // The item data of a placeholder entry such as "No species found!".
    static constexpr int kPlaceholder = -1;

    void Clear() { items_.clear(); }
    void Add(const std::string& text, int data);
    void Fill(const std::vector<SpeciesEntry>& entries);
    // The entry at a position, or nullptr for a position outside the list (no selection).
    const FormItem* At(int index) const;
    void RemoveAt(int index);
    int IndexOf(int data) const;
    // The position of the first entry with exactly this text; -1 when none has it.
    int IndexOfText(const std::string& text) const;
    int Count() const { return static_cast<int>(items_.size()); }
    bool Empty() const { return items_.empty(); }
    const std::vector<FormItem>& Items() const { return items_; }

  private:
    std::vector<FormItem> items_;
};

}  // namespace orvane
