// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "plot/spectra_plot.h"

namespace orvane {

class WorkbenchDocument;
class Frontend;

// The spectra plot window without its widgets: which spectra it shows (the current study's,
// the loaded ones or those chosen in the study browser), at which stage and in what detail,
// and the picture the core computes for that.
class SpectraPlotForm {
  public:
    enum Source { kStudy = 0, kLoaded = 1, kChosen = 2 };

    explicit SpectraPlotForm(WorkbenchDocument& doc);

    int stage_index = 0;  // position in PlotStages()
    int source = kStudy;
    int selection = SpectraPlotRequest::kAllSpecies;
    std::vector<std::string> folders;  // with SpectraPlotRequest::kFolders
    int details = kEverySpectrum;

    static std::vector<std::string> StageLabels();
    // The same with " (off)" after each stage the current settings skip.
    std::vector<std::string> CurrentStageLabels() const;
    static std::vector<std::string> SourceLabels();
    static std::vector<std::string> SelectionLabels();
    static std::vector<std::string> DetailsLabels();

    orvane::Stage ChosenStage() const;
    // The chosen stage as settings keep it between runs: its word, since positions move when
    // stages are added. Restoring takes the word, else (settings written before the words)
    // the position in the list of that time; anything else keeps the choice.
    std::string StageWord() const;
    void RestoreStage(const std::string& word, int saved_index);
    // The species folders of the current study, for the choice of folders.
    std::vector<std::string> SpeciesFolders() const;
    // SpeciesFolders(), after unchecking the checked folders the current study lacks: after a
    // study change the plot never asks for the former study's species.
    std::vector<std::string> FollowStudy();
    // The same with the study's folders as SpeciesFolders() read them (on another thread).
    std::vector<std::string> FollowStudy(std::vector<std::string> study);
    // Why the choices give nothing to compute (no species checked), for the window to show
    // instead of a plot and as the tooltip of what waits for a plot; empty when there is.
    std::string NothingToPlot() const;
    // Species and details apply to the study's spectra only.
    bool StudyChoicesEnabled() const { return source == kStudy; }
    // Spectra chosen elsewhere become the source.
    void Choose(std::vector<int> spectrum_ids);
    const std::vector<int>& Chosen() const { return chosen_; }

    // Runs the chain for the chosen spectra. Throws OrvaneError when the choice cannot be
    // plotted (no sensor for a sensor stage, no spectra loaded or chosen, ...).
    SpectraPlot Compute(Frontend& frontend);

    // Where a picture of the plot is proposed to go: the output folder, a name from the
    // study (named `study`, read with CurrentStudyName on the database's thread), stage and
    // details, and the extension.
    std::string ProposedPath(const std::string& extension, const std::string& study) const;
    // The current study's name as stored; empty without one.
    std::string CurrentStudyName() const;

  private:
    WorkbenchDocument& doc_;
    std::vector<int> chosen_;
};

}  // namespace orvane
