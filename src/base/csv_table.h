// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace orvane {

// One record of a delimited text file: its fields and the line it begins on (from 1), so that
// a refusal can send the user to it.
struct CsvRecord {
    int line = 0;
    std::vector<std::string> fields;
};

// A delimited text file as records, the header (the first record) included.
struct CsvTable {
    char separator = ',';
    std::vector<CsvRecord> records;
};

// Reads a delimited text file that a user made or a spreadsheet wrote. The separator is a
// comma, or a semicolon or a tab when the first line holds one of those and no comma. A field
// may be quoted ("...", a quote inside written twice) and then holds separators and line ends;
// blanks around an unquoted field are dropped. Lines end in LF or CR LF; a UTF-8 byte order
// mark and blank lines are skipped. `what` names the file in refusals ("Class mapping file").
// Refused with OrvaneError naming the file and the line: a path that is not a readable regular
// file, a file larger than `max_bytes`, a quote that is never closed, a quote inside an
// unquoted field, and text after a closing quote, since each of these shifts the columns after
// it without a word.
CsvTable ReadCsvTable(const std::string& path, const std::string& what,
                      std::size_t max_bytes = std::size_t{1} << 30);

// The whole of a text file, refused as ReadCsvTable refuses a file it cannot read.
std::string ReadWholeTextFile(const std::string& path, const std::string& what,
                              std::size_t max_bytes);

// The same for text already in memory; `path` only names it in refusals.
CsvTable ParseCsvText(const std::string& text, const std::string& path, const std::string& what);

}  // namespace orvane
