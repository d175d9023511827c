// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "chain/chain_stage.h"
#include "chain/spectra_details.h"

namespace orvane {

class Frontend;
class ProcessingSession;
class StudyLoader;
class Spectrum;

// One legend entry: a species (or a loaded spectrum) and the colour of its curves.
struct PlotGroup {
    std::string name;
    std::string colour;  // "#rrggbb"
};

// One curve over wavelength. A NaN in y (and in the band) is a gap: a band the chain
// excluded or could not compute. `lower` and `upper` are the mean -/+ one standard deviation
// when the curve is a mean, else empty.
struct PlotCurve {
    std::string label;
    int group = 0;
    std::vector<double> x;
    std::vector<double> y;
    std::vector<double> lower;
    std::vector<double> upper;
};

// The spectra plot as both faces draw it: the window with its plotting widget, the command
// line as SVG. Everything drawn (which spectra, the stage, means, bands, gaps) is decided here.
struct SpectraPlot {
    std::string title;
    std::string x_label = "Wavelength (nm)";
    std::string y_label = "Reflectance";
    // Sensor stages have one point per band centre, which the faces mark.
    bool markers = false;
    std::vector<PlotGroup> groups;
    std::vector<PlotCurve> curves;

    // The extent of every finite value, bands included; false when there is none.
    bool Bounds(double& xmin, double& xmax, double& ymin, double& ymax) const;
    // The group of that name, added with the next palette colour when new.
    int Group(const std::string& name);
    // The group of that name, added with the palette's colour number `colour` when new: a
    // species takes the colour of its place among all species of its study, so that it keeps
    // its colour whichever others are shown.
    int Group(const std::string& name, int colour);
};

// What to plot of the current study.
struct SpectraPlotRequest {
    enum Selection { kAllSpecies = 0, kLibrarySpecies = 1, kFolders = 2 };

    Stage stage = Stage::kRaw;  // any stage with bands; the features are not a spectrum
    int selection = kAllSpecies;
    std::vector<std::string> folders;  // with kFolders
    int details = kEverySpectrum;  // SpectraDetails
};

// The stages a spectra plot offers (every stage with bands), in list order.
std::vector<StageDeclaration> PlotStages();

// Why the current settings skip a stage, so that its values are its input's unchanged
// ("Continuum Removal off", "no smoothing", "derivative order 0"); empty when it computes.
std::string StageSkippedText(const ProcessingSession& session, Stage stage);
// The stage as the plot's list shows it: its label, with " (off)" when it is an optional stage
// switched off (the others' titles say when they are skipped).
std::string PlotStageLabel(const ProcessingSession& session, Stage stage);
// The stage as a plot's title names it: never a computation that did not happen, so a
// skipped stage is named by the stage whose values it passes on, with what was skipped
// ("Smoothed (Continuum Removal off)"); a sensor stage adds the sensor.
std::string PlotStageTitle(const ProcessingSession& session, Stage stage);
// Whether the values of a stage went through the continuum removal.
bool RanContinuumRemoval(const ProcessingSession& session, Stage stage);

// The study's enabled spectra at a stage of the chain, species by species as the library
// build loads them. Library species are those with at least the study's minimum number of
// enabled spectra. Throws OrvaneError for an unknown stage, a folder the study lacks, or a
// sensor stage without a sensor.
SpectraPlot StudySpectraPlot(StudyLoader& factory, ProcessingSession& session,
                             const SpectraPlotRequest& request, Frontend& frontend);

// Stored spectra chosen one by one (for example in the study browser), disabled ones too,
// each a curve in the colour of its species.
SpectraPlot StoredSpectraPlot(StudyLoader& factory, ProcessingSession& session,
                              const std::vector<int>& spectrum_ids, Stage stage);

// Spectra read from files, each its own legend entry.
SpectraPlot LoadedSpectraPlot(ProcessingSession& session, const std::vector<Spectrum*>& spectra,
                              Stage stage);

}  // namespace orvane
