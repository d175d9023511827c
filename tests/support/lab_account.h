// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>

#include "support/scratch_database.h"

namespace orvane::test {

// An account of the throwaway server made for one test: a MariaDB user with a password, the
// grants of its role on the scratch database (a reader SELECT; an editor SELECT and changes of
// the study tables and feature spaces, SELECT only on sensors and accounts; an admin
// everything) and, when `listed`, its lab_account row. The server's own administrator (the
// system user that runs it, through its socket) makes and drops it.
class LabAccount {
  public:
    // `role` is "reader", "editor" or "admin".
    LabAccount(ScratchDatabase& scratch, const std::string& role, bool listed = true);
    ~LabAccount();
    LabAccount(const LabAccount&) = delete;
    LabAccount& operator=(const LabAccount&) = delete;

    const std::string& Name() const { return name_; }
    ConnectionParams Params() const;
    std::unique_ptr<Database> Connect() const;
    // A spectra_config.txt logging in as this account (output_dir inside `dir`); its path.
    std::string WriteConfig(const std::string& dir) const;
    // Makes the account an editor of the study (a study_member row).
    void Grant(int study_id);

  private:
    ScratchDatabase& scratch_;
    std::string name_;
    std::string password_;
};

// Runs SQL as the server's own administrator, through its socket; throws with the client's
// message when it fails.
void RunAsServerAdmin(const std::string& sql);

}  // namespace orvane::test
