// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/export_formats.h"

#include <fmt/format.h>

#include <string_view>

#include "base/number_text.h"
#include "base/text_file.h"
#include "export/envi_library_file.h"
#include "export/transposing_text_file.h"

namespace orvane {

namespace {

// An ARFF name needs quotes when it would otherwise not read back as one token.
bool ArffNeedsQuotes(const std::string& text) {
    if (text.empty() || text == "?") return true;
    for (char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F ||
            std::string_view(" ,'\"{}%").find(c) != std::string_view::npos)
            return true;
    return false;
}

// Quoted as the ARFF grammar reads it: the quote character, backslash and line ends escaped
// with a backslash. A name holding one kind of quote takes the other kind around it, so that
// it needs no escape at all (readers that skip escapes then read it unaltered too).
std::string ArffQuoted(const std::string& text, char quote) {
    std::string quoted(1, quote);
    for (char c : text) {
        switch (c) {
            case '\n': quoted += "\\n"; break;
            case '\r': quoted += "\\r"; break;
            case '\t': quoted += "\\t"; break;
            case '\\': quoted += "\\\\"; break;
            default:
                if (c == quote) quoted += '\\';
                quoted += c;
        }
    }
    return quoted + quote;
}

char ArffQuoteFor(const std::vector<std::string>& names) {
    bool single = false;
    bool dbl = false;
    for (const std::string& n : names) {
        single = single || n.find('\'') != std::string::npos;
        dbl = dbl || n.find('"') != std::string::npos;
    }
    return single && !dbl ? '"' : '\'';
}

std::string ArffValue(const std::string& text) {
    return ArffNeedsQuotes(text) ? ArffQuoted(text, ArffQuoteFor({text})) : text;
}

// The species values of one file are written alike in the attribute line and in every row:
// readers that guess the quoting from the first data row then read every row the same way.
// Plain names stay bare when no name of the file needs quotes.
class ArffWriter : public ExportWriter {
  public:
    explicit ArffWriter(const std::vector<std::string>& species) : quote_(ArffQuoteFor(species)) {
        for (const std::string& n : species) quote_all_ = quote_all_ || ArffNeedsQuotes(n);
    }

    void WriteHeader(TextFile& file, const ExportHeader& header) override {
        file.WriteString("@relation ");
        file.WriteString(ArffValue(header.relation));
        file.WriteEol();
        file.WriteEol();
        std::string line = "@attribute species {";
        for (size_t i = 0; i < header.species.size(); ++i) {
            if (i) line += ",";
            line += Species(header.species[i]);
        }
        file.WriteStringLn(line + "}");
        if (header.site_column) file.WriteStringLn("@attribute site numeric");
        if (header.spectrum_column) file.WriteStringLn("@attribute spectrum numeric");
        if (header.feature_columns) {
            for (const std::string& name : header.features)
                file.WriteStringLn("@attribute " + ArffValue(name) + " numeric");
        } else {
            for (const ExportColumn& c : header.bands) {
                const std::string name = header.whole_wavelengths ? fmt::format("b{}", c.index)
                                                                  : "b" + NumberText(c.x);
                file.WriteStringLn("@attribute " + name + " numeric");
            }
        }
        file.WriteEol();
        file.WriteString("@data");
        file.WriteEol();
    }
    void WriteName(TextFile& file, const std::string& name) override {
        file.WriteString(Species(name));
    }
    void WriteNumber(TextFile& file, int number) override {
        file.WriteString(Species(std::to_string(number)));
    }
    void WriteMissing(TextFile& file) override { file.WriteString("?"); }

  private:
    std::string Species(const std::string& name) const {
        return quote_all_ || ArffNeedsQuotes(name) ? ArffQuoted(name, quote_) : name;
    }

    char quote_;
    bool quote_all_ = false;
};

// A table with a header row: a csv file, or transposed the ENVI text table.
class TableWriter : public ExportWriter {
  public:
    void WriteHeader(TextFile& file, const ExportHeader& header) override {
        file.WriteString("species");
        if (header.site_column) {
            file.WriteDelimiter();
            file.WriteString("site");
        }
        if (header.spectrum_column) {
            file.WriteDelimiter();
            file.WriteString("spectrum");
        }
        if (header.feature_columns) {
            for (const std::string& name : header.features) {
                file.WriteDelimiter();
                file.WriteString(Text(name));
            }
        } else {
            for (const ExportColumn& c : header.bands) {
                file.WriteDelimiter();
                if (header.whole_wavelengths)
                    file.WriteInt(c.index);
                else
                    WriteValue(file, c.x);
            }
        }
        file.WriteEol();
    }
    void WriteName(TextFile& file, const std::string& name) override {
        file.WriteString(Text(name));
    }
    void WriteNumber(TextFile& file, int number) override { file.WriteInt(number); }
    void WriteMissing(TextFile& file) override { file.WriteEmptyField(); }

  protected:
    // A spreadsheet must not run a name as a formula.
    virtual std::string Text(const std::string& text) const { return CsvQuoted(text); }
};

// The binary library keeps the table's rows; its header has its own rules and is read by no
// spreadsheet, so names go in as they are.
class LibraryWriter : public TableWriter {
  public:
    std::unique_ptr<TextFile> MakeFile(const std::string& path,
                                       const ExportFileFacts& facts) const override {
        return std::make_unique<EnviLibraryFile>(path, facts.site_column, facts.description);
    }

    // The values are binary doubles and the header writes its wavelengths itself.
    void WriteValue(TextFile& file, double value) override { file.WriteDouble(value); }

  protected:
    std::string Text(const std::string& text) const override { return text; }
};

template <class Writer>
std::unique_ptr<ExportWriter> Make(const std::vector<std::string>&) {
    return std::make_unique<Writer>();
}

std::unique_ptr<ExportWriter> MakeArff(const std::vector<std::string>& species) {
    return std::make_unique<ArffWriter>(species);
}

}  // namespace

void ExportWriter::WriteValue(TextFile& file, double value) {
    if (number_format == ExportSettings::kPlain)
        file.WriteString(PlainNumber(value));
    else
        file.WriteDouble(value);
}

std::string ExportWriter::NumberText(double value) const {
    return number_format == ExportSettings::kPlain ? PlainNumber(value)
                                                   : ScientificNumber(value);
}

std::unique_ptr<TextFile> ExportWriter::MakeFile(const std::string& path,
                                                 const ExportFileFacts& facts) const {
    if (facts.transposed) return std::make_unique<TransposingTextFile>(path, '#');
    return std::make_unique<TextFile>(path, '#');
}

const std::vector<ExportFormatEntry>& ExportFormatRegistry() {
    using S = ExportSettings;
    static const std::vector<ExportFormatEntry> registry = {
        // ARFF holds one instance per row; a transposed table would not be ARFF.
        {S::kArff, "arff", "arff", nullptr, "arff", Transposition::kNever,
         "an ARFF file cannot be transposed (one row per spectrum is its grammar)", nullptr, true,
         MakeArff},
        {S::kCsv, "csv", "csv", nullptr, "csv", Transposition::kOptional, nullptr, nullptr, false,
         Make<TableWriter>},
        {S::kEnvi, "envi", "ENVI spectral library", "A text table with the spectra as columns.",
         "txt", Transposition::kAlways, nullptr, nullptr, false, Make<TableWriter>},
        {S::kEnviSli, "envi-sli", "ENVI spectral library, binary (.sli)",
         "A binary library with its .hdr, as ENVI and other spectral tools open it.", "sli",
         Transposition::kNever, nullptr, ".hdr", false, Make<LibraryWriter>, true},
    };
    return registry;
}

const ExportFormatEntry* FindExportFormat(int id) {
    for (const ExportFormatEntry& f : ExportFormatRegistry())
        if (f.id == id) return &f;
    return nullptr;
}

std::string ExportFormatWords() {
    const int preferred = ExportSettings().format;
    std::string words;
    if (const ExportFormatEntry* f = FindExportFormat(preferred)) words = f->word;
    for (const ExportFormatEntry& f : ExportFormatRegistry())
        if (f.id != preferred) words += (words.empty() ? "" : "|") + std::string(f.word);
    return words;
}

bool Transposed(const ExportFormatEntry& format, bool transpose_requested) {
    return format.transposition == Transposition::kAlways ||
           (format.transposition == Transposition::kOptional && transpose_requested);
}

}  // namespace orvane
