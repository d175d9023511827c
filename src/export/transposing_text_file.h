// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "base/text_file.h"

namespace orvane {

// A text file that collects its rows and writes them as columns when closed, so that the
// first field of every row forms the first line. Each column is kept as its finished output
// line, which holds the whole table in about the size of the file it becomes.
class TransposingTextFile : public TextFile {
  public:
    using TextFile::TextFile;

    void WriteInt(int value) override;
    void WriteDouble(double value) override;
    void WriteString(const std::string& text) override;
    void WriteEol() override;
    void WriteDoubleLn(double value) override;
    void WriteStringLn(const std::string& text) override;
    // Delimiters are placed when the columns are written out.
    void WriteDelimiter() override {}
    // An empty item keeps its place, so the bands of later rows do not shift.
    void WriteEmptyField() override { AddItem(""); }

    // Writes every column as one line, then closes; false when the disk refused any of it.
    bool Close() override;

  private:
    void AddItem(const std::string& text);

    std::vector<std::string> columns_;
    std::vector<bool> column_started_;
    size_t cursor_ = 0;
    bool line_start_ = true;
};

}  // namespace orvane
