// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace orvane {

class ReplacedFile;

// A line-oriented text file with a comment character, used for the configuration, sensor
// definitions and every result file. Key lookups walk repeated keys: asking for the same key
// again continues after the previous match instead of starting over.
class TextFile {
  public:
    TextFile(std::string path, char comment);
    virtual ~TextFile();
    TextFile(const TextFile&) = delete;
    TextFile& operator=(const TextFile&) = delete;

    const std::string& Path() const { return path_; }
    bool IsOpen() const { return stream_ != nullptr; }

    // Opens for reading only; throws FileNotFoundError when the file cannot be opened and
    // NotRegularFileError when it is not a regular file (a named pipe would never end).
    void OpenForReading();
    // Starts a new version of the file: the text goes to a temporary file in the same folder,
    // which replaces the file only when Close succeeds, so a failed or interrupted write
    // never destroys the previous good file nor leaves a cut-off one under its name. False
    // when the temporary file cannot be created (FailureReason says why).
    bool OpenForWriting();
    // Writes into memory instead of a file (TakeText hands the text over): rows formatted on
    // other threads by the same rules, then written to the file in order. False when the
    // memory cannot be had.
    bool OpenInMemory();
    // The text written since it opened in memory or last taken; empties it.
    std::string TakeText();
    // Closes the stream; after writing, moves the finished file into place. False when
    // anything written could not reach the disk; the previous file is then kept as it was.
    virtual bool Close();
    // The system's reason for the first failure to create, write, close or replace the file.
    std::string FailureReason() const;

    void MeasureLines();

    bool GetValue(const std::string& key, std::string& dest);
    bool GetString(const std::string& key, std::string& dest);
    bool GetValueWithSeparator(const std::string& key, const std::string& separator,
                               std::string& dest);

    bool NextLine(std::string& dest);
    // One line as fgets reads it with the current line width, comment or not; false at the end.
    bool ReadLine(std::string& dest);

    virtual void WriteInt(int value);
    virtual void WriteDouble(double value);
    virtual void WriteString(const std::string& text);
    virtual void WriteEol();
    virtual void WriteDoubleLn(double value);
    virtual void WriteStringLn(const std::string& text);
    virtual void WriteDelimiter();
    // A field without a value; in a plain file the surrounding delimiters already say so.
    virtual void WriteEmptyField() {}

    void SetDelimiter(const std::string& delimiter);
    const std::string& Delimiter() const { return delimiter_; }

    static void StripLineEnd(std::string& text);

  protected:
    std::FILE* Stream() { return stream_; }
    // The new version being written (null for a device written in place); a subclass that
    // commits it together with another file takes it over with ReleaseStream.
    ReplacedFile* Replacement() { return replacement_.get(); }
    // Hands the stream to the replacement, which closes it when finishing.
    void ReleaseStream() { stream_ = nullptr; }
    // Forgets the replacement once the subclass committed or discarded it.
    void DropReplacement();
    // Records the reason of a failure found outside the stream's writes.
    void NoteFailureReason(const std::string& reason);

  private:
    void NoteFailure(int error);
    void Check(int error) {
        if (error) NoteFailure(error);
    }
    void Discard();

    std::FILE* stream_ = nullptr;
    // The memory an in-memory file writes into (open_memstream's buffer and size).
    char* memory_ = nullptr;
    std::size_t memory_size_ = 0;
    std::unique_ptr<ReplacedFile> replacement_;  // set while a new version is being written
    std::string failure_reason_;
    std::string path_;
    char comment_;
    std::string delimiter_;
    std::string last_key_;
    int line_width_ = 80;
    bool write_failed_ = false;
    std::vector<char> buffer_;
};

// A comma-separated text field, used for every name written into a csv file. A field that a
// spreadsheet would run as a formula (one beginning with "=", "+", "-", "@", a tab or a carriage
// return that is not a plain number such as -5 or +1.5e3) gets a single quote in front, which
// spreadsheets show as text; the field is then quoted, with quotes doubled, when it holds a
// comma, a quote or a line end, so that a name cannot shift the columns after it.
std::string CsvQuoted(const std::string& text);

// The message of a result file that could not be written: the program's own text, then the
// system's reason (disk full, read-only, name too long).
std::string CannotWriteMessage(const std::string& path, const std::string& reason);

// The same for a result file written to a temporary and moved over the old one, which a failure
// leaves in place.
std::string CannotReplaceMessage(const std::string& path, const std::string& reason);

}  // namespace orvane
