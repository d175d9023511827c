// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/frontend.h"
#include "base/output_folder.h"
#include "chain/chain_options.h"
#include "chain/processing_session.h"
#include "study/sensor_import.h"
#include "study/study_loader.h"
#include "support/recording_frontend.h"
#include "support/scratch_database.h"

namespace orvane::test {

// What the analyses run on: a scratch database, a session on it with the sensors imported, a
// loader of the study and an output folder inside a temporary folder. Rows are arranged through
// Admin() before ImportSensors opens the session.
class AnalysisRig : public ::testing::Test {
  protected:
    explicit AnalysisRig(const std::string& tag) : scratch_(tag) {}

    Database& Admin() { return scratch_.Admin(); }
    int Count(const std::string& sql) { return test::Count(scratch_.Admin(), sql); }

    void ImportSensors(const std::vector<std::string>& paths) {
        session_ = std::make_unique<ProcessingSession>(scratch_.Connect(), nullptr);
        loader_ = std::make_unique<StudyLoader>(*session_);
        SilentFrontend quiet;
        for (const std::string& path : paths) ImportSensor(*session_, quiet, path, 0);
    }
    // As the form's controls apply them.
    void Apply(const ChainOptions& chain) { ApplyChainOptions(*session_, chain); }
    void UseStudy(int study) {
        session_->SetStudy(study);
        loader_->SetStudy(study);
    }

    TempDir dir_;
    ScratchDatabase scratch_;
    std::unique_ptr<ProcessingSession> session_;
    std::unique_ptr<StudyLoader> loader_;
    OutputFolder output_{"", dir_.Path() + "/out"};
    RecordingFrontend frontend_;
};

// The lines of a file, without their line ends.
inline std::vector<std::string> Lines(const std::string& path) {
    std::vector<std::string> lines;
    std::istringstream in(FileText(path));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// A result's JSON twin as a JSON parser reads it; a file that does not parse fails the test
// with the parser's message.
inline nlohmann::json ReadJson(const std::string& path) {
    return nlohmann::json::parse(FileText(path));
}

// A JSON number within `tolerance` of `expected`, or null where `expected` is NaN: JSON has no
// NaN, so a result record writes an undefined number as null.
inline ::testing::AssertionResult JsonNear(const nlohmann::json& got, double expected,
                                           double tolerance) {
    const bool near =
        got.is_number() && std::fabs(got.get<double>() - expected) <= tolerance;
    if (std::isnan(expected) ? got.is_null() : near)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << got.dump() << " is not " << expected;
}

// The cells of a comma-separated line, empty ones included; commas inside double quotes do not
// split, and quoted cells keep their quotes.
inline std::vector<std::string> Cells(const std::string& line) {
    std::vector<std::string> cells(1);
    bool quoted = false;
    for (char c : line) {
        if (c == '"') quoted = !quoted;
        if (c == ',' && !quoted)
            cells.emplace_back();
        else
            cells.back() += c;
    }
    return cells;
}

}  // namespace orvane::test
