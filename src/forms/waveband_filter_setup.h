#pragma once

#include <string>
#include <vector>

#include "spectra/waveband_filter.h"

namespace orvane {

class ProcessingSession;

// The working list behind the "Waveband Filter Setup" dialog: list lines and entries stay
// index-aligned; OK replaces the study's stored ranges in one transaction.
class WavebandFilterSetup {
public:
    explicit WavebandFilterSetup(ProcessingSession& session);

    // Reloads the working list from the current study.
    void Show();
    const std::vector<std::string>& Lines() const { return lines_; }
    const WavebandFilter& Working() const { return working_; }

    // Ranges lie within the measured grid and run upwards.
    static constexpr int kLowest = 350;
    static constexpr int kHighest = 2500;
    // Why a range cannot be stored; empty when it can.
    static std::string RangeProblem(int lower, int upper);

    // Throws OrvaneError (nothing changed) for a range RangeProblem() refuses.
    void New(int lower, int upper);
    // Index out of range (no line selected) changes nothing and returns false; a refused
    // range throws as New() does.
    bool Modify(int index, int lower, int upper);
    bool Delete(int index);
    // Adds the configured default ranges that RangeProblem() accepts and says what it added,
    // what it skipped, or that the configuration has none.
    std::string AddDefaultRanges();
    // Stores the working list as the study's ranges, marks the filter changed, and rebuilds
    // the session's filter, smoothing filter, masks and derivative.
    void Ok();

    static std::string Line(int lower, int upper);

private:
    void Refill();

    ProcessingSession& session_;
    WavebandFilter working_;
    std::vector<std::string> lines_;
};

}  // namespace orvane
