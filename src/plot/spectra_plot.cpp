// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/spectra_plot.h"

#include <cmath>
#include <limits>
#include <memory>
#include <set>

#include "base/frontend.h"
#include "base/orvane_error.h"
#include "chain/processing_chain.h"
#include "chain/processing_session.h"
#include "chain/smoothing_type.h"
#include "spectra/sensor.h"
#include "spectra/species.h"
#include "stats/band_statistics.h"
#include "store/database.h"
#include "store/spectra_repository.h"
#include "store/study_repository.h"
#include "study/study_loader.h"

namespace orvane {

namespace {

// Colours that stay apart for the first ten species, also for common colour blindness.
const char* const kPalette[] = {"#1f77b4", "#d62728", "#2ca02c", "#ff7f0e", "#9467bd",
                                "#8c564b", "#e377c2", "#7f7f7f", "#bcbd22", "#17becf"};

const double kNaN = std::numeric_limits<double>::quiet_NaN();

void CheckStage(ProcessingSession& session, Stage stage) {
    if (!HasBands(stage))
        throw OrvaneError("A spectra plot shows the raw, filtered, smoothed, synthesized or derived "
                          "stage, not stage " +
                          std::to_string(static_cast<int>(stage)) + ".");
    if (NeedsSensor(stage)) session.RequireSensor();
}

// The positions of the bands a curve has: every band, except on the sensor stages the
// elements the sensor does not use (they are not bands of the sensor, so they are no gap).
std::vector<size_t> Bands(const ProcessingSession& session, const BandVector& v, Stage stage) {
    std::vector<size_t> bands;
    const Sensor* sensor = OnSensorAxis(stage) ? session.CurrentSensor() : nullptr;
    for (size_t i = 0; i < static_cast<size_t>(v.Count()); ++i) {
        const int element = static_cast<int>(i);
        if (sensor && (element >= sensor->ElementCount() || !sensor->Usable(element))) continue;
        bands.push_back(i);
    }
    return bands;
}

PlotCurve SpectrumCurve(const ProcessingSession& session, Chain& chain, Spectrum& spectrum,
                        Stage stage) {
    const BandVector& v = chain.Run(spectrum, stage);
    PlotCurve curve;
    for (size_t i : Bands(session, v, stage)) {
        const int band = v.First() + static_cast<int>(i);
        const double value = v.Value(band);
        curve.x.push_back(v.X(band));
        curve.y.push_back(HasFiniteValue(value) ? value : kNaN);
    }
    return curve;
}

PlotCurve MeanCurve(const ProcessingSession& session, Chain& chain, Site& group, Stage stage) {
    // The chain's vector is overwritten by the next member, so each member keeps a copy.
    std::vector<BandVector> copies;
    copies.reserve(static_cast<size_t>(group.MemberCount()));
    for (int i = 0; i < group.MemberCount(); ++i)
        copies.push_back(chain.Run(*group.Member(i), stage));
    std::vector<const BandVector*> members;
    for (const BandVector& v : copies) members.push_back(&v);
    const BandStatistics stats = MeanAndDeviation(members);
    PlotCurve curve;
    for (size_t i : Bands(session, *members.front(), stage)) {
        curve.x.push_back(stats.x[i]);
        curve.y.push_back(stats.mean[i]);
        curve.lower.push_back(stats.mean[i] - stats.deviation[i]);
        curve.upper.push_back(stats.mean[i] + stats.deviation[i]);
    }
    return curve;
}

SpectraPlot EmptyPlot(const ProcessingSession& session, Stage stage, const std::string& what) {
    SpectraPlot plot;
    plot.markers = OnSensorAxis(stage);
    plot.title = what + " - " + PlotStageTitle(session, stage);
    if (stage == Stage::kDerived && session.DerivativeOrder() > 0)
        plot.y_label = "Derivative of order " + std::to_string(session.DerivativeOrder());
    else if (RanContinuumRemoval(session, stage))
        plot.y_label = "Reflectance / continuum";
    return plot;
}

std::string CurrentStudyName(ProcessingSession& session) {
    return StudyRepository(session.Db()).Name(session.StudyId()).value_or("");
}

}  // namespace

std::string StageSkippedText(const ProcessingSession& session, Stage stage) {
    const StageDeclaration& s = Declaration(stage);
    if (s.option) return session.StageMode(stage) == 0 ? std::string(s.option->label) + " off" : "";
    if (stage == Stage::kSmoothed && session.SmoothingType() == static_cast<int>(SmoothingType::kNone))
        return "no smoothing";
    if (stage == Stage::kDerived && session.DerivativeOrder() < 1) return "derivative order 0";
    return "";
}

std::string PlotStageLabel(const ProcessingSession& session, Stage stage) {
    const StageDeclaration& s = Declaration(stage);
    return s.option && session.StageMode(stage) == 0 ? std::string(s.label) + " (off)" : s.label;
}

std::string PlotStageTitle(const ProcessingSession& session, Stage stage) {
    // The last stage that computed something names the values; the skipped ones after it say
    // that they were skipped.
    std::vector<std::string> notes;
    Stage shown = stage;
    while (shown != Stage::kRaw) {
        const std::string skipped = StageSkippedText(session, shown);
        if (skipped.empty()) break;
        notes.insert(notes.begin(), skipped);
        shown = Declaration(shown).input;
    }
    if (NeedsSensor(stage) && session.CurrentSensor())
        notes.insert(notes.begin(), session.CurrentSensor()->Name());
    std::string title = Declaration(shown).label;
    for (size_t i = 0; i < notes.size(); ++i)
        title += (i == 0 ? " (" : "; ") + notes[i] + (i + 1 == notes.size() ? ")" : "");
    return title;
}

bool RanContinuumRemoval(const ProcessingSession& session, Stage stage) {
    if (session.StageMode(Stage::kContinuumRemoved) == 0) return false;
    for (Stage s = stage; s != Stage::kRaw; s = Declaration(s).input)
        if (s == Stage::kContinuumRemoved) return true;
    return false;
}

std::vector<StageDeclaration> PlotStages() {
    std::vector<StageDeclaration> stages;
    for (const StageDeclaration& s : Stages())
        if (HasBands(s.id)) stages.push_back(s);
    return stages;
}

bool SpectraPlot::Bounds(double& xmin, double& xmax, double& ymin, double& ymax) const {
    bool any = false;
    auto take = [&](double x, double y) {
        if (!std::isfinite(x) || !std::isfinite(y)) return;
        if (!any) {
            xmin = xmax = x;
            ymin = ymax = y;
            any = true;
            return;
        }
        xmin = std::min(xmin, x);
        xmax = std::max(xmax, x);
        ymin = std::min(ymin, y);
        ymax = std::max(ymax, y);
    };
    for (const PlotCurve& c : curves)
        for (size_t i = 0; i < c.x.size(); ++i) {
            take(c.x[i], c.y[i]);
            if (i < c.lower.size()) take(c.x[i], c.lower[i]);
            if (i < c.upper.size()) take(c.x[i], c.upper[i]);
        }
    return any;
}

int SpectraPlot::Group(const std::string& name) {
    return Group(name, static_cast<int>(groups.size()));
}

int SpectraPlot::Group(const std::string& name, int colour) {
    for (size_t i = 0; i < groups.size(); ++i)
        if (groups[i].name == name) return static_cast<int>(i);
    const int n = static_cast<int>(sizeof kPalette / sizeof kPalette[0]);
    groups.push_back({name, kPalette[((colour % n) + n) % n]});
    return static_cast<int>(groups.size() - 1);
}

namespace {
// A species' place among all species of the study, in folder order; -1 for none.
int SpeciesPlace(const std::vector<SpeciesFolder>& all, const std::string& folder) {
    for (size_t i = 0; i < all.size(); ++i)
        if (all[i].folder_name == folder) return static_cast<int>(i);
    return -1;
}
}  // namespace

SpectraPlot StudySpectraPlot(StudyLoader& factory, ProcessingSession& session,
                             const SpectraPlotRequest& request, Frontend& frontend) {
    CheckStage(session, request.stage);
    Chain chain(session.Compiled());
    std::vector<std::pair<int, std::string>> species;  // id, folder
    const std::vector<SpeciesFolder> all =
        StudyRepository(session.Db()).SpeciesByFolder(session.StudyId());
    for (const SpeciesFolder& s : all) species.emplace_back(s.species_id, s.folder_name);
    if (request.selection == SpectraPlotRequest::kFolders) {
        std::vector<std::pair<int, std::string>> chosen;
        for (const std::string& folder : request.folders) {
            bool found = false;
            for (const auto& s : species)
                if (s.second == folder) {
                    chosen.push_back(s);
                    found = true;
                }
            if (!found)
                throw OrvaneError("The current study has no species folder \"" + folder + "\".");
        }
        species = std::move(chosen);
    }
    static const char* const kDetails[] = {"spectra", "site means \u00b1 1 sd",
                                           "species means \u00b1 1 sd"};
    SpectraPlot plot = EmptyPlot(session, request.stage,
                                 CurrentStudyName(session) + ": " + kDetails[request.details]);
    frontend.BeginProgress("Plotting spectra", static_cast<int>(species.size()));
    struct ProgressEnd {
        Frontend& frontend;
        ~ProgressEnd() { frontend.EndProgress(); }
    } progress_end{frontend};
    for (size_t i = 0; i < species.size(); ++i) {
        frontend.StepProgress(static_cast<int>(i) + 1);
        if (frontend.Cancelled()) throw Cancelled("cancelled: plot");
        std::unique_ptr<Species> sp = factory.LoadSpecies(species[i].first);
        const int n = sp->MemberCount();
        if (n == 0) continue;
        if (request.selection == SpectraPlotRequest::kLibrarySpecies &&
            n < session.MinSpectraPerSpecies())
            continue;
        const std::string& folder = species[i].second;
        const int group = plot.Group(folder, SpeciesPlace(all, folder));
        if (request.details == kSpeciesMean) {
            PlotCurve curve = MeanCurve(session, chain, *sp, request.stage);
            curve.label = folder + " mean";
            curve.group = group;
            plot.curves.push_back(std::move(curve));
            continue;
        }
        for (int s = 0; s < sp->SiteCount(); ++s) {
            Site& site = *sp->SiteAt(s);
            if (site.MemberCount() == 0) continue;
            const std::string site_text = folder + " site " + std::to_string(site.SiteNumber());
            if (request.details == kSiteMean) {
                PlotCurve curve = MeanCurve(session, chain, site, request.stage);
                curve.label = site_text + " mean";
                curve.group = group;
                plot.curves.push_back(std::move(curve));
                continue;
            }
            for (int m = 0; m < site.MemberCount(); ++m) {
                Spectrum& spectrum = *site.Member(m);
                PlotCurve curve = SpectrumCurve(session, chain, spectrum, request.stage);
                curve.label = site_text + " spectrum " + std::to_string(spectrum.number_);
                curve.group = group;
                plot.curves.push_back(std::move(curve));
            }
        }
    }
    return plot;
}

SpectraPlot StoredSpectraPlot(StudyLoader& factory, ProcessingSession& session,
                              const std::vector<int>& spectrum_ids, Stage stage) {
    CheckStage(session, stage);
    Chain chain(session.Compiled());
    SpectraPlot plot = EmptyPlot(session, stage, CurrentStudyName(session) + ": chosen spectra");
    const std::vector<SpeciesFolder> all =
        StudyRepository(session.Db()).SpeciesByFolder(session.StudyId());
    const std::set<int> chosen(spectrum_ids.begin(), spectrum_ids.end());
    // Each spectrum comes with its place (a spectrum without site or species row has none:
    // no folder, site 0, number 0), in batches rather than two statements per spectrum.
    factory.ForEachSpectrum(
        std::vector<int>(chosen.begin(), chosen.end()),
        [&](Spectrum& spectrum, const SpectrumRecord& row) {
            const std::string folder = row.placed ? row.folder : std::string();
            const int site_no = row.placed ? row.site_no : 0;
            const int number = row.placed ? row.spectrum_no : 0;
            PlotCurve curve = SpectrumCurve(session, chain, spectrum, stage);
            curve.label = folder + " site " + std::to_string(site_no) + " spectrum " +
                          std::to_string(number);
            curve.group = plot.Group(folder, SpeciesPlace(all, folder));
            plot.curves.push_back(std::move(curve));
        });
    return plot;
}

SpectraPlot LoadedSpectraPlot(ProcessingSession& session, const std::vector<Spectrum*>& spectra,
                              Stage stage) {
    CheckStage(session, stage);
    Chain chain(session.Compiled());
    SpectraPlot plot = EmptyPlot(session, stage, "Loaded spectra");
    for (Spectrum* spectrum : spectra) {
        PlotCurve curve = SpectrumCurve(session, chain, *spectrum, stage);
        curve.label = spectrum->DisplayName();
        curve.group = plot.Group(curve.label);
        plot.curves.push_back(std::move(curve));
    }
    return plot;
}

}  // namespace orvane
