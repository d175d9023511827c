// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/private_setup.h"

#include <fmt/format.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "base/config_file.h"
#include "base/frontend.h"
#include "base/orvane_error.h"
#include "base/run_program.h"
#include "chain/processing_session.h"
#include "forms/workspace.h"
#include "store/name_lookup.h"
#include "study/study_loader.h"
#include "study/study_management.h"
#include "study/spectra_import.h"

namespace orvane {

namespace {
// The folder orvane-db works in, as the tool itself chooses it.
std::string HomeFolder() {
    if (const char* set = std::getenv("ORVANE_HOME"); set && *set) return set;
    if (const char* user = std::getenv("HOME"); user && *user)
        return std::string(user) + "/.local/share/orvane";
    throw OrvaneError("Neither ORVANE_HOME nor HOME is set, so there is no folder for the private database.");
}
}  // namespace

PrivateSetup::PrivateSetup(DataFiles files) : files_(std::move(files)) {}

std::string PrivateSetup::Unavailable() const {
    std::error_code error;
    if (!std::filesystem::exists(files_.db_tool, error))
        return "The private-database tool " + files_.db_tool + " is missing.";
    if (!std::filesystem::is_directory(files_.demo_study, error))
        return "The demo study " + files_.demo_study + " is missing.";
    return "";
}

std::string PrivateSetup::Run(Frontend& frontend, const std::vector<std::string>& init_options) {
    if (const std::string why = Unavailable(); !why.empty()) throw OrvaneError(why);
    const std::string home = HomeFolder();

    std::vector<std::string> argv = {files_.db_tool, "init"};
    argv.insert(argv.end(), init_options.begin(), init_options.end());
    frontend.Report("Creating the private database in " + home + " ...");
    // The tool seeds the sensors with the orvane-cli of this build or installation.
    const ProgramRun init = RunProgram(argv, {{"ORVANE_HOME", home}, {"ORVANE_CLI", files_.cli}});
    if (init.status != 0)
        throw OrvaneError(fmt::format("{} init failed (exit status {}):\n{}",
                                      files_.DbToolCommand(), init.status, init.output));
    frontend.Report(init.output);

    const std::string config = home + "/" + ConfigFile::kDefaultName;
    // The mark says the demo study went in once: a study the user changed or deleted since is
    // left alone.
    const std::string mark = home + "/demo-study.imported";
    std::error_code error;
    if (std::filesystem::exists(mark, error)) return config;
    Workspace workspace(config);
    int id = 0;
    for (const auto& study : AllNames(workspace.Session().Db(), kStudyNames))
        if (study.second == kDemoStudyName) id = study.first;
    if (id == 0) {
        StudyFields fields;
        fields.name = kDemoStudyName;
        fields.data_path = files_.demo_study;
        fields.description =
            "149 field spectra of four vegetation classes (the demo study that comes with Orvane)";
        fields.min_samples = 15;
        id = StudyManagement(workspace.Session(), frontend).CreateStudy(fields);
    }
    // An import keeps what is stored, so one cut short is completed here.
    workspace.OpenStudy(id);
    const ImportCounts added = workspace.Loader().ImportStudySpectra(frontend);
    frontend.Report(ImportSummary(added));
    std::ofstream(mark).put('\n');
    return config;
}

}  // namespace orvane
