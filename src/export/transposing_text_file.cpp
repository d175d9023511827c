// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/transposing_text_file.h"

#include "base/number_text.h"

namespace orvane {

void TransposingTextFile::AddItem(const std::string& text) {
    if (line_start_) {
        cursor_ = 0;
        line_start_ = false;
    } else {
        ++cursor_;
    }
    if (cursor_ >= columns_.size()) {
        columns_.resize(cursor_ + 1);
        column_started_.resize(cursor_ + 1, false);
    }
    std::string& column = columns_[cursor_];
    if (column_started_[cursor_]) column += Delimiter();
    column_started_[cursor_] = true;
    column += text;
}

void TransposingTextFile::WriteInt(int value) { AddItem(std::to_string(value)); }

void TransposingTextFile::WriteDouble(double value) {
    AddItem(ScientificNumber(value));
}

void TransposingTextFile::WriteString(const std::string& text) { AddItem(text); }

void TransposingTextFile::WriteEol() { line_start_ = true; }

void TransposingTextFile::WriteDoubleLn(double value) {
    WriteDouble(value);
    WriteEol();
}

void TransposingTextFile::WriteStringLn(const std::string& text) {
    WriteString(text);
    WriteEol();
}

bool TransposingTextFile::Close() {
    if (IsOpen()) {
        for (std::string& column : columns_) {
            column += '\n';
            TextFile::WriteString(column);
            std::string().swap(column);
        }
    }
    columns_.clear();
    column_started_.clear();
    line_start_ = true;
    return TextFile::Close();
}

}  // namespace orvane
