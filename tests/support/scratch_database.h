// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>

#include "store/database.h"
#include "store/sql_script.h"

namespace orvane::test {

// How to give the tests their throwaway server, for a run that finds none.
std::string HowToRunDatabaseTests();

// The folder of the throwaway server that the test fixture started (its spectra_config.txt
// inside). The pointer file naming it is the one ctest's fixture writes, or the file named by
// $ORVANE_TEST_POINTER. Without a running server the test's database handler is called.
std::string TestServerHome();

// What a test that needs the server does when there is none: by default it throws
// std::runtime_error with HowToRunDatabaseTests(); the test binary's main turns it into a skip.
using NoDatabaseHandler = void (*)(const std::string& how);
void SetNoDatabaseHandler(NoDatabaseHandler handler);
// True when the pointer names a folder holding the server's configuration.
bool TestServerAvailable();

// A fresh database on the throwaway server with db/schema.sql loaded (lookup rows included,
// no sensors, no feature spaces), dropped again when the object goes.
class ScratchDatabase {
  public:
    explicit ScratchDatabase(const std::string& tag);
    ~ScratchDatabase();

    const std::string& Name() const { return name_; }
    ConnectionParams Params() const;
    std::unique_ptr<Database> Connect() const;
    // The admin connection, for arranging rows.
    Database& Admin() { return *admin_; }

    // Writes a spectra_config.txt for this database (output_dir inside `dir`) and returns its
    // path; `extra` lines are appended as they are.
    std::string WriteConfig(const std::string& dir, const std::string& extra = "") const;

  private:
    std::string name_;
    std::unique_ptr<Database> admin_;
};

using orvane::RunSqlScript;

// A fresh empty folder under the system's temporary folder, removed in the destructor.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

std::string SourcePath(const std::string& relative);  // a path inside the repository
std::string TestData(const std::string& relative);    // a path inside tests/data

// Number of rows a query counts; -1 when it gives none.
int Count(Database& db, const std::string& sql);

// The whole content of a file; empty when it cannot be read.
std::string FileText(const std::string& path);

inline bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

}  // namespace orvane::test
