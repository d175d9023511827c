// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/waveband_filter_setup.h"

#include "base/orvane_error.h"
#include "chain/filter_defaults.h"
#include "chain/processing_session.h"
#include "chain/study_filter.h"

namespace orvane {

WavebandFilterSetup::WavebandFilterSetup(ProcessingSession& session) : session_(session) {}

std::string WavebandFilterSetup::Line(int lower, int upper) {
    return FilterRangeText(lower, upper);
}

void WavebandFilterSetup::Refill() {
    lines_.clear();
    for (int i = 0; i < working_.Count(); ++i)
        lines_.push_back(Line(working_.At(i).lower, working_.At(i).upper));
}

void WavebandFilterSetup::Show() {
    working_.CopyFrom(StoredStudyFilter(session_));
    Refill();
}

std::string WavebandFilterSetup::RangeProblem(int lower, int upper) {
    return FilterRangeProblem(lower, upper);
}

void WavebandFilterSetup::New(int lower, int upper) {
    const std::string problem = RangeProblem(lower, upper);
    if (!problem.empty()) throw OrvaneError(problem);
    working_.AddRange(lower, upper);
    lines_.push_back(Line(lower, upper));
}

bool WavebandFilterSetup::Modify(int index, int lower, int upper) {
    if (index < 0 || index >= working_.Count()) return false;
    const std::string problem = RangeProblem(lower, upper);
    if (!problem.empty()) throw OrvaneError(problem);
    working_.At(index).lower = lower;
    working_.At(index).upper = upper;
    lines_[static_cast<size_t>(index)] = Line(lower, upper);
    return true;
}

bool WavebandFilterSetup::Delete(int index) {
    if (index < 0 || index >= working_.Count()) return false;
    working_.Remove(index);
    lines_.erase(lines_.begin() + index);
    return true;
}

std::string WavebandFilterSetup::AddDefaultRanges() {
    const std::string text = orvane::AddDefaultRanges(session_.DefaultFilter(), working_);
    Refill();
    return text;
}

void WavebandFilterSetup::Ok() { ReplaceStudyFilter(session_, working_); }

}  // namespace orvane
