// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "chain/chain_description.h"
#include "chain/chain_stage.h"
#include "forms/workbench_document.h"
#include "stats/principal_components.h"
#include "stats/separability.h"

namespace orvane {

class Frontend;
struct StudyFields;

// One entry of a drop-down list: its text and the identifier it stands for.
struct FormItem {
    std::string text;
    int data = 0;
};

// A drop-down list as the form shows it. Items are always appended, so a position is the
// order in which the item was added.
struct FormList {
    std::vector<FormItem> items;
    int selected = -1;

    void Clear();
    void Add(std::string text, int data);
    int Count() const { return static_cast<int>(items.size()); }
    // The item data of the selected entry; 0 when none is selected.
    int SelectedData() const;
    // The position of the first entry with that item data; -1 when none has it.
    int IndexOf(int data) const;
};

// The form's selections as a window keeps them between runs: identifiers where the lists
// hold database rows, positions where they hold fixed entries.
struct FormSelections {
    int study_id = 0;
    int sensor_id = 0;
    int smoothing = 0;
    int derivative_order = 0;
    int derivative_method = 0;
    int feature_space_type = 0;
    int feature_space_id = 0;
    int classifier = 0;  // the Classifier's value, whatever row the list shows it in
    // The optional stages' modes by stage number (0 off); a stage missing stays as it is.
    std::map<int, int> stage_modes;
};

// An optional stage's submenu of Chain Settings: its label, the words of its modes with the
// current one, what its pairs are and the study's own pairs as the user types them ("1000-1001
// 1800-1801"; empty for the stage's default, which `default_pairs` names).
struct StageMenu {
    Stage stage;
    std::string label;
    std::vector<std::string> modes;
    int mode = 0;
    std::string pairs;
    std::string default_pairs;
    std::string pairs_text;
    // Whether the account may store the study's pairs; a reader only switches modes.
    bool pairs_enabled = true;
};

// The main form without its widgets: what each control holds, which controls are enabled and
// the cascade that keeps the session in step with the selections. The window only mirrors
// it and forwards the user's actions.
class MainForm : public DocumentListener {
  public:
    static constexpr const char* kNoFeatureSpace = "No feature spaces of this type";

    explicit MainForm(WorkbenchDocument& doc);
    ~MainForm() override;
    MainForm(const MainForm&) = delete;
    MainForm& operator=(const MainForm&) = delete;

    // Fills the selectors and makes the first study current with the form's chain controls.
    void InitialUpdate();

    // --- the user's actions ------------------------------------------------------------------
    void SelectStudy(int index);
    // After a study was created: select its entry and make it current. An identifier the
    // list does not hold changes nothing and returns false.
    bool MakeStudyCurrent(int study_id);
    // Refills the study list and makes its first study current.
    void RefreshStudyList();
    // Stores a new study and makes it current with the form's chain controls; returns its id.
    // Throws OrvaneError (nothing stored, the form unchanged) when a field is refused.
    int CreateStudy(const StudyFields& fields, Frontend& frontend);
    // Asks first, adding the window's `question` to the core's warning; false when the user
    // cancelled. Afterwards the first remaining study is current with the form's chain controls.
    bool DeleteCurrentStudy(Frontend& frontend, const std::string& question = {});
    void StudyReport(Frontend& frontend);
    // Imports the current study's folder tree.
    void ImportSpectra(Frontend& frontend);
    void SelectSensor(int index);
    void SelectSmoothing(int index);
    // 0..30; a value outside keeps the previous order and returns false.
    bool SetDerivativeOrder(int order);
    void SetDerivativeMethod(int method);
    void SetFeatureSpaceType(int type);
    void SelectFeatureSpace(int index);
    void SelectClassifier(int index);
    // The Chain Settings menu's optional stages, in chain order.
    std::vector<StageMenu> StageMenus() const;
    void SetStageMode(Stage stage, int mode);
    // Stores pairs typed as "A-B C-D ..." (blanks or commas between them) as the study's pairs
    // of the stage; an empty text returns to the default. Throws OrvaneError naming the part
    // refused, with nothing stored.
    void SetStagePairs(Stage stage, const std::string& text);
    // Asks first, then deletes the current feature space with its libraries; false when the
    // user cancelled or there is none.
    bool DeleteFeatureSpace(Frontend& frontend);
    // After a sensor import: the new sensor joins the sensor list.
    void AddSensor(int sensor_id);
    // Asks first, then deletes the current sensor with its libraries and analyses; the first
    // remaining sensor becomes current. False when the user cancelled.
    bool DeleteCurrentSensor(Frontend& frontend);
    // Saves the report; the path on success. A failure is reported and rethrown.
    std::string SaveReport();
    // Saves the report to a path the user chose.
    void SaveReport(const std::string& path);
    // Removes the loaded spectra at these rows; rows outside the list are skipped.
    void RemoveLoadedSpectra(const std::vector<int>& rows);
    // What the form shows selected now, and the same made current again through the form's
    // own cascade (after start-up); a study, sensor or feature space that no longer exists
    // keeps the current choice.
    FormSelections Selections() const;
    void RestoreSelections(const FormSelections& selections);
    // Builds the library of the current configuration; false without a feature space.
    bool BuildLibrary(Frontend& frontend);
    // Classifies the loaded spectra at the given rows (in ascending row order) with the
    // loaded library and reports each ranking. Rows outside the list are skipped.
    void IndivClassify(std::vector<int> rows);

    // Runs the principal component analysis, switches to the PCT feature-space type (keeping
    // the current PCT feature space when there is one) and returns the score plot of the
    // analysis's first two components, or why there is none (also reported). No plot data
    // when the analysis stored nothing.
    ScorePlotData RunPca(Frontend& frontend);
    // The score plot of two other components of the last PCA run here (or why not).
    ScorePlotData PcaScorePlot(int first, int second) const;
    // How many components the last PCA has; 0 before the first one.
    int PcaComponents() const { return last_pca_.components.Nrows(); }

    void RefreshFeatureSpaceList();
    // After a feature space was saved: the list is refilled with that one selected when it
    // is offered, else the first.
    void ShowFeatureSpace(int feature_space_id);
    void RefreshLibraryStatus();
    // The loaded library's classes: folder names with their species ids, in library order.
    FormList LibraryClasses() const;

    // --- what the form shows -----------------------------------------------------------------
    const FormList& Studies() const { return studies_; }
    const FormList& Smoothing() const { return smoothing_; }
    const FormList& Sensors() const { return sensors_; }
    const FormList& FeatureSpaces() const { return feature_spaces_; }
    const FormList& Classifiers() const { return classifiers_; }
    int DerivativeOrder() const { return derivative_order_; }
    int DerivativeMethod() const { return derivative_method_; }
    int FeatureSpaceType() const { return doc_.FeatureSpaceType(); }
    std::string LibraryStatus() const { return doc_.LibraryStatus(); }
    const std::vector<std::string>& LoadedSpectra() const { return loaded_spectra_; }
    const std::string& ReportText() const { return doc_.ReportText().Text(); }

    bool HasStudy() const { return studies_.selected >= 0; }
    bool HasSensor() const;
    // The chain controls change the current study's rows, so they need a study.
    bool ChainControlsEnabled() const { return HasStudy(); }
    bool SmoothingEditEnabled() const;
    bool DerivativeMethodEnabled() const;
    bool DerivativeEditEnabled() const;
    // Classifying needs loaded spectra and a Ready library.
    bool IndivClassifyEnabled() const;
    std::string IndivClassifyDisabledReason() const;
    bool CommandEnabled(int command_id) const;
    // The account and its role for the status bar: "NAME (ROLE)".
    std::string AccountText() const;
    // A refusal of the server, in the words of the command (a menu command's id, or 0 when it
    // is not known) and of the role it needs.
    std::string RefusalText(const class AccessDenied& denied, int command_id = 0) const;
    // Why a command is disabled (the window's tooltip); empty when it is enabled.
    std::string CommandDisabledReason(int command_id) const;

    // Counts the changes of the processing chain (sensor, waveband filter, smoothing,
    // derivative), so that views drawn from it know when to redraw.
    int ChainGeneration() const { return chain_generation_; }

    // Called whenever the report text changed, so the window can show the newest text.
    void SetReportListener(std::function<void()> listener) {
        report_listener_ = std::move(listener);
    }

    // DocumentListener
    void SpectrumLoaded() override;
    void ReportChanged() override;
    void LoadedSpectraRemoved() override;

  private:
    // What a change may reset without the user choosing it: the feature space and whether
    // the library is Ready.
    struct ShownChoice {
        int feature_space_id = 0;
        std::string feature_space;
        bool ready = false;
    };
    ShownChoice Shown() const;
    // Logs the chain settings changed since they were last logged (one timed entry), then
    // writes one report line when the feature space was reset or the library went Not Ready,
    // saying that `why` did it; `feature_space` false leaves the feature space
    // to a caller that reported it already.
    void ReportResets(const ShownChoice& before, const std::string& why, bool feature_space);
    // Runs a user's action and reports what it reset; chain notifications inside it stay quiet.
    template <typename Action>
    void Reporting(const std::string& why, Action&& action, bool feature_space = true);

    // Why the library commands are disabled, with the menu command that mends it; empty when
    // the library is Ready.
    std::string LibraryNotReadyText() const;
    void FillStudyList();
    // Refills the study list and runs the form study change for `study_id`, or for the first
    // study when the list does not hold it.
    void ReloadStudies(int study_id);
    void FillFeatureSpaceList(int preferred_id);
    void FillSensorList();
    void ApplyChainControls();
    void ShowDerivativeMethod();
    void OnChainChanged();
    // Logs the chain settings that differ from those logged last (one timed entry) when
    // `report`, and remembers them; a change made outside the form (a dialog, the session) is
    // over when the form hears of it, so it is found against the last logged state.
    void LogChainChanges(bool report);

    WorkbenchDocument& doc_;
    FormList studies_;
    FormList smoothing_;
    FormList sensors_;
    FormList feature_spaces_;
    FormList classifiers_;
    int derivative_order_ = 0;
    int derivative_method_ = 0;
    std::vector<std::string> loaded_spectra_;
    std::function<void()> report_listener_;
    PcaResult last_pca_;
    int chain_generation_ = 0;
    // >0 while an action reports its own resets, or while selections are restored.
    int quiet_ = 0;
    std::vector<ChainSettingText> logged_settings_;
};

}  // namespace orvane
