// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/spectra_plot_form.h"

#include <algorithm>

#include "base/choice_words.h"
#include "base/orvane_error.h"
#include "base/output_folder.h"
#include "chain/processing_session.h"
#include "forms/workbench_document.h"
#include "spectra/spectrum.h"
#include "study/study_loader.h"
#include "study/study_spectra.h"

namespace orvane {

SpectraPlotForm::SpectraPlotForm(WorkbenchDocument& doc) : doc_(doc) {}

std::vector<std::string> SpectraPlotForm::StageLabels() {
    std::vector<std::string> labels;
    for (const StageDeclaration& s : PlotStages()) labels.push_back(s.label);
    return labels;
}

std::vector<std::string> SpectraPlotForm::CurrentStageLabels() const {
    std::vector<std::string> labels;
    for (const StageDeclaration& s : PlotStages())
        labels.push_back(PlotStageLabel(doc_.Session(), s.id));
    return labels;
}

std::vector<std::string> SpectraPlotForm::SourceLabels() {
    return {"Study spectra", "Loaded spectra", "Chosen in the study browser"};
}

std::vector<std::string> SpectraPlotForm::SelectionLabels() {
    return {"All species", "Library species", "Checked species"};
}

std::vector<std::string> SpectraPlotForm::DetailsLabels() {
    return kSpectraDetails.Labels();
}

Stage SpectraPlotForm::ChosenStage() const {
    const auto stages = PlotStages();
    if (stage_index < 0 || stage_index >= static_cast<int>(stages.size())) return Stage::kRaw;
    return stages[static_cast<size_t>(stage_index)].id;
}

std::string SpectraPlotForm::StageWord() const { return Declaration(ChosenStage()).word; }

void SpectraPlotForm::RestoreStage(const std::string& word, int saved_index) {
    // The list before the optional stages joined it, which older settings name by position.
    static const Stage kPositionStages[] = {Stage::kRaw,         Stage::kFiltered,
                                            Stage::kSmoothed,    Stage::kSynthesized,
                                            Stage::kInterpolated, Stage::kDerived};
    std::string wanted = word;
    if (wanted.empty() && saved_index >= 0 && saved_index < 6)
        wanted = Declaration(kPositionStages[saved_index]).word;
    const auto stages = PlotStages();
    for (size_t i = 0; i < stages.size(); ++i)
        if (SameWord(wanted, stages[i].word)) stage_index = static_cast<int>(i);
}

std::vector<std::string> SpectraPlotForm::SpeciesFolders() const {
    const int study = doc_.Session().StudyId();
    return study ? StudySpeciesFolders(doc_.Session().Db(), study) : std::vector<std::string>();
}

std::vector<std::string> SpectraPlotForm::FollowStudy() { return FollowStudy(SpeciesFolders()); }

std::vector<std::string> SpectraPlotForm::FollowStudy(std::vector<std::string> study) {
    std::vector<std::string> kept;
    for (const std::string& f : folders)
        if (std::find(study.begin(), study.end(), f) != study.end()) kept.push_back(f);
    folders = std::move(kept);
    return study;
}

std::string SpectraPlotForm::NothingToPlot() const {
    if (source == kStudy && selection == SpectraPlotRequest::kFolders && folders.empty())
        return "No species are checked: check the species to show in the list beside the plot.";
    return "";
}

void SpectraPlotForm::Choose(std::vector<int> spectrum_ids) {
    chosen_ = std::move(spectrum_ids);
    source = kChosen;
}

SpectraPlot SpectraPlotForm::Compute(Frontend& frontend) {
    ProcessingSession& session = doc_.Session();
    if (source == kLoaded) {
        if (doc_.LoadedSpectra().empty())
            throw OrvaneError("No spectra are loaded; open field spectrum files first.");
        std::vector<Spectrum*> spectra;
        for (const auto& s : doc_.LoadedSpectra()) spectra.push_back(s.get());
        return LoadedSpectraPlot(session, spectra, ChosenStage());
    }
    if (session.StudyId() == 0) throw OrvaneError("There is no current study to plot.");
    if (source == kChosen) {
        if (chosen_.empty())
            throw OrvaneError("No spectra are chosen; select them in the study browser and "
                              "press \"Plot\".");
        return StoredSpectraPlot(doc_.Loader(), session, chosen_, ChosenStage());
    }
    SpectraPlotRequest request;
    request.stage = ChosenStage();
    request.selection = selection;
    request.folders = folders;
    request.details = details;
    if (selection == SpectraPlotRequest::kFolders && folders.empty())
        throw OrvaneError("No species are checked.");
    return StudySpectraPlot(doc_.Loader(), session, request, frontend);
}

std::string SpectraPlotForm::CurrentStudyName() const {
    return StudyName(doc_.Session().Db(), doc_.Session().StudyId());
}

std::string SpectraPlotForm::ProposedPath(const std::string& extension,
                                          const std::string& study) const {
    static const char* const kDetails[] = {"spectra", "site_mean", "species_mean"};
    static const char* const kSources[] = {"", "loaded", "chosen"};
    std::string name = (study.empty() ? "spectra" : study) + "_" +
                       PlotStages().at(static_cast<size_t>(stage_index)).word + "_" +
                       (source == kStudy ? kDetails[details] : kSources[source]);
    for (char& c : name)
        if (c == '/') c = '_';
    return doc_.Output().PathFor(name, extension);
}

}  // namespace orvane
