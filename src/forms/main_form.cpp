// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/main_form.h"

#include <fmt/format.h>

#include <algorithm>

#include "base/frontend.h"
#include "base/number_text.h"
#include "base/orvane_error.h"
#include "base/shown_text.h"
#include "chain/chain_options.h"
#include "chain/derivative_settings.h"
#include "chain/feature_space.h"
#include "chain/smoothing_type.h"
#include "chain/processing_session.h"
#include "forms/command_rights.h"
#include "forms/feature_space_actions.h"
#include "forms/menu_command.h"
#include "spectra/species.h"
#include "spectra/spectrum.h"
#include "stats/spectral_statistics.h"
#include "store/name_lookup.h"
#include "study/sensor_import.h"
#include "study/study_loader.h"
#include "study/study_management.h"

namespace orvane {

void FormList::Clear() {
    items.clear();
    selected = -1;
}

void FormList::Add(std::string text, int data) { items.push_back({std::move(text), data}); }

int FormList::SelectedData() const {
    if (selected < 0 || selected >= Count()) return 0;
    return items[static_cast<size_t>(selected)].data;
}

int FormList::IndexOf(int data) const {
    for (int i = 0; i < Count(); ++i)
        if (items[static_cast<size_t>(i)].data == data) return i;
    return -1;
}

bool FormState::CommandEnabled(int command_id) const {
    return CommandDisabledReason(command_id).empty();
}

std::string FormState::CommandDisabledReason(int command_id) const {
    const auto reason = command_reasons.find(command_id);
    return reason == command_reasons.end() ? "Unknown command." : reason->second;
}

MainForm::MainForm(WorkbenchDocument& doc) : doc_(doc) {
    // Positions and smoothing types are the same numbers: the list's index is the type.
    for (const Choice<SmoothingType>& c : kSmoothingTypes)
        smoothing_.Add(c.label, static_cast<int>(c.value));
    for (const ClassifierEntry& c : ClassifierRegistry())
        classifiers_.Add(c.label, static_cast<int>(c.kind));
    doc_.SetListener(this);
    doc_.Session().SetChainChangedListener([this] { OnChainChanged(); });
}

MainForm::~MainForm() {
    doc_.Session().SetChainChangedListener(nullptr);
    doc_.SetListener(nullptr);
}

void MainForm::InitialUpdate() {
    RefreshStudyList();
    FillSensorList();
    RefreshFeatureSpaceList();
    sensors_.selected = sensors_.Count() > 0 ? 0 : -1;
    classifiers_.selected =
        classifiers_.IndexOf(static_cast<int>(doc_.Session().ClassifierInUse()));
    smoothing_.selected = 0;
    derivative_order_ = 0;
    derivative_method_ = 0;
    // The first study gets the form's chain settings at once, so that its smoothing type and
    // derivative row are defined before the first command runs.
    if (HasStudy()) {
        ApplyChainControls();
    } else {
        doc_.Report("There is no study in the database; create or import one first.");
    }
    for (const std::string& warning : doc_.StartupWarnings()) doc_.Report(warning);
    LogChainChanges(false);
    if (!HasSensor()) {
        try {
            doc_.Session().RequireSensor();
        } catch (const OrvaneError& e) {
            doc_.Report(WithHint(e.what(), MenuHint(e.GetRemedy())));
        }
    }
}

void MainForm::FillStudyList() {
    studies_.Clear();
    for (const auto& [id, name] : AllNames(doc_.Session().Db(), kStudyNames))
        studies_.Add(name, id);
}

void MainForm::RefreshStudyList() {
    FillStudyList();
    if (studies_.Count() == 0) return;
    studies_.selected = 0;
    doc_.StudyChange(studies_.SelectedData());
}

void MainForm::ReloadStudies(int study_id) {
    FillStudyList();
    if (studies_.Count() == 0) {
        // Nothing may keep working on the study that is gone.
        doc_.StudyChange(0);
        RefreshFeatureSpaceList();
        return;
    }
    const int index = studies_.IndexOf(study_id);
    SelectStudy(index < 0 ? 0 : index);
}

int MainForm::CreateStudy(const StudyFields& fields, Frontend& frontend) {
    const int study_id = StudyManagement(doc_.Session(), frontend).CreateStudy(fields);
    ReloadStudies(study_id);
    return study_id;
}

bool MainForm::DeleteCurrentStudy(Frontend& frontend, const std::string& question) {
    if (!StudyManagement(doc_.Session(), frontend).DeleteCurrentStudy(question)) return false;
    ReloadStudies(0);
    return true;
}

void MainForm::StudyReport(Frontend& frontend) {
    StudyManagement(doc_.Session(), frontend).StudyReport();
}

void MainForm::ImportSpectra(Frontend& frontend) {
    ImportCounts added;
    Reporting("spectra were imported into the study", [&] {
        try {
            added = doc_.Loader().ImportStudySpectra(frontend);
        } catch (const Cancelled&) {
            // The species imported before the cancel stay, and date the library all the same.
            RefreshLibraryStatus();
            throw;
        }
        // New spectra leave the study's libraries out of date.
        RefreshLibraryStatus();
    });
    frontend.Report(ImportSummary(added) + "\n");
    if (added.skipped > 0)
        frontend.Error(fmt::format(
            "The import left out {} files or folders; the report names each and the reason.",
            added.skipped));
}

void MainForm::FillSensorList() {
    sensors_.Clear();
    for (const auto& [id, name] : AllNames(doc_.Session().Db(), kSensorNames))
        sensors_.Add(name, id);
}

void MainForm::ApplyChainControls() {
    ProcessingSession& session = doc_.Session();
    session.SetSmoothingType(smoothing_.selected < 0 ? 0 : smoothing_.selected);
    session.SetDerivativeOrder(derivative_order_);
}

MainForm::ShownChoice MainForm::Shown() const {
    ShownChoice shown;
    shown.feature_space_id = feature_spaces_.SelectedData();
    if (feature_spaces_.selected >= 0 && feature_spaces_.selected < feature_spaces_.Count())
        shown.feature_space =
            feature_spaces_.items[static_cast<size_t>(feature_spaces_.selected)].text;
    shown.ready = doc_.IsLibraryValid();
    return shown;
}

void MainForm::ReportResets(const ShownChoice& before, const std::string& why, bool feature_space) {
    LogChainChanges(true);
    const ShownChoice now = Shown();
    const bool reset = feature_space && before.feature_space_id != 0 &&
                       now.feature_space_id != before.feature_space_id;
    const bool lost = before.ready && !now.ready;
    if (!reset && !lost) return;
    std::string line;
    if (reset)
        line = "Feature space \"" + EscapeControls(before.feature_space) + "\" reset to \"" +
               EscapeControls(now.feature_space) + "\"";
    if (lost) line += reset ? " and the library is Not Ready" : "The library is Not Ready";
    doc_.Report(line + " because " + why + ".");
}

template <typename Action>
void MainForm::Reporting(const std::string& why, Action&& action, bool feature_space) {
    const ShownChoice before = Shown();
    ++quiet_;
    try {
        action();
    } catch (...) {
        --quiet_;
        throw;
    }
    --quiet_;
    if (quiet_ == 0) ReportResets(before, why, feature_space);
}

void MainForm::SelectStudy(int index) {
    if (index < 0 || index >= studies_.Count()) return;
    Reporting("the study changed to \"" +
                  EscapeControls(studies_.items[static_cast<size_t>(index)].text) + "\"",
              [&] {
                  studies_.selected = index;
                  // The feature space chosen below loads the library.
                  doc_.OpenStudy(studies_.SelectedData());
                  // The study's smoothing and derivative rows came with it for the session's
                  // type and order: only a control the session does not follow yet is applied
                  // again (and changes the chain, which refreshes the feature spaces).
                  ProcessingSession& session = doc_.Session();
                  const int smoothing = smoothing_.selected < 0 ? 0 : smoothing_.selected;
                  bool applied = false;
                  if (session.SmoothingType() != smoothing) {
                      session.SetSmoothingType(smoothing);
                      applied = true;
                  }
                  if (session.DerivativeOrder() != derivative_order_) {
                      session.SetDerivativeOrder(derivative_order_);
                      applied = true;
                  }
                  if (!applied) {
                      // The new study's chain, as a change of it shows.
                      ++chain_generation_;
                      ShowDerivativeMethod();
                      RefreshFeatureSpaceList();
                  }
              });
}

bool MainForm::MakeStudyCurrent(int study_id) {
    const int index = studies_.IndexOf(study_id);
    if (index < 0) return false;
    SelectStudy(index);
    return true;
}

void MainForm::SelectSensor(int index) {
    if (index < 0 || index >= sensors_.Count()) return;
    Reporting("the sensor changed to \"" +
                  EscapeControls(sensors_.items[static_cast<size_t>(index)].text) + "\"",
              [&] {
                  sensors_.selected = index;
                  doc_.Session().SetSensor(sensors_.SelectedData());
                  RefreshFeatureSpaceList();
              });
}

void MainForm::SelectSmoothing(int index) {
    if (index < 0 || index >= smoothing_.Count()) return;
    Reporting("the smoothing changed to " + smoothing_.items[static_cast<size_t>(index)].text, [&] {
        smoothing_.selected = index;
        if (HasStudy()) doc_.Session().SetSmoothingType(index);
    });
}

bool MainForm::SetDerivativeOrder(int order) {
    if (order < 0 || order > kMaxDerivativeOrder) return false;
    Reporting(fmt::format("the derivative order changed to {}", order), [&] {
        derivative_order_ = order;
        if (HasStudy()) doc_.Session().SetDerivativeOrder(order);
        ShowDerivativeMethod();
    });
    return true;
}

void MainForm::SetDerivativeMethod(int method) {
    ProcessingSession& session = doc_.Session();
    if (derivative_order_ < 1 || session.DerivativeOrder() < 1) return;
    Reporting("the derivative method changed", [&] {
        if (session.Settings().derivative.method != method) session.SetDerivativeMethod(method);
        derivative_method_ = session.Settings().derivative.method;
    });
}

void MainForm::SetFeatureSpaceType(int type) {
    if (type < 0 || type > 2) return;
    Reporting("the feature space type changed", [&] {
        doc_.ChangeFeatureSpaceType(type);
        RefreshFeatureSpaceList();
    });
}

void MainForm::SelectFeatureSpace(int index) {
    if (index < 0 || index >= feature_spaces_.Count()) return;
    Reporting("the feature space changed to \"" +
                  EscapeControls(feature_spaces_.items[static_cast<size_t>(index)].text) + "\"",
              [&] {
                  feature_spaces_.selected = index;
                  doc_.Session().SetFeatureSpace(feature_spaces_.SelectedData());
                  RefreshLibraryStatus();
              },
              false);  // the user chose it, and the log names it: no reset to report
}

void MainForm::SelectClassifier(int index) {
    if (index < 0 || index >= classifiers_.Count()) return;
    Reporting("the classifier changed", [&] {
        classifiers_.selected = index;
        doc_.Session().SetClassifier(static_cast<Classifier>(classifiers_.SelectedData()));
    });
}

void MainForm::RefreshFeatureSpaceList() { FillFeatureSpaceList(0); }

void MainForm::ShowFeatureSpace(int feature_space_id) { FillFeatureSpaceList(feature_space_id); }

void MainForm::FillFeatureSpaceList(int preferred_id) {
    feature_spaces_.Clear();
    for (const FeatureSpaceItem& item : ListFeatureSpaces(doc_.Session()))
        feature_spaces_.Add(item.name, item.id);
    if (feature_spaces_.Count() == 0) feature_spaces_.Add(kNoFeatureSpace, 0);
    const int preferred = preferred_id == 0 ? -1 : feature_spaces_.IndexOf(preferred_id);
    feature_spaces_.selected = preferred < 0 ? 0 : preferred;
    doc_.Session().SetFeatureSpace(feature_spaces_.SelectedData());
    RefreshLibraryStatus();
}

void MainForm::RefreshLibraryStatus() { doc_.LoadLibrary(); }

bool MainForm::BuildLibrary(Frontend& frontend) { return doc_.BuildLibrary(frontend); }

void MainForm::IndivClassify(std::vector<int> rows) {
    std::sort(rows.begin(), rows.end());
    SpectralStatistics& library = doc_.Statistics();
    library.RequireReady();
    const std::string note = library.UnmodelledNote();
    if (!note.empty()) doc_.Report(note);
    const auto& loaded = doc_.LoadedSpectra();
    for (int row : rows) {
        if (row < 0 || row >= static_cast<int>(loaded.size())) continue;
        doc_.Report(library.ClassifyToText(*loaded[static_cast<size_t>(row)]));
    }
}

ScorePlotData MainForm::RunPca(Frontend& frontend) {
    const PcaResult result = orvane::RunPca(doc_.Session(), doc_.Loader(), doc_.Output(), frontend);
    ScorePlotData plot;
    if (result.pca_data_id == 0) {
        plot.reason = "No score plot: the PCA stored nothing.";
        return plot;
    }
    try {
        // The core reports the feature-space change itself; the form adds the library's.
        Reporting(
            "the PCA switched the form to its PCT feature space",
            [&] {
                const int chosen = SwitchToPctAfterPca(doc_.Session(), frontend);
                doc_.ChangeFeatureSpaceType(kFeaturePCT);
                FillFeatureSpaceList(chosen);
            },
            false);
    } catch (const OrvaneError& e) {
        // The analysis is stored; only the projection of the chosen feature space failed.
        plot.reason = std::string("No score plot: ") + e.what();
        frontend.Report(plot.reason);
        return plot;
    }
    last_pca_ = result;
    plot = orvane::PcaScorePlot(doc_.Session(), result);
    if (!plot.Ready()) frontend.Report(plot.reason);
    return plot;
}

ScorePlotData MainForm::PcaScorePlot(int first, int second) const {
    if (last_pca_.pca_data_id == 0) {
        ScorePlotData plot;
        plot.reason = "No score plot: run the principal component analysis first.";
        return plot;
    }
    return orvane::PcaScorePlot(doc_.Session(), last_pca_, first, second);
}

FormList MainForm::LibraryClasses() const {
    FormList list;
    const SpectralStatistics& library = doc_.Statistics();
    for (int i = 0; i < library.ClassCount(); ++i)
        list.Add(library.Class(i).folder_name, library.Class(i).species_id);
    return list;
}

std::string MainForm::LibraryNotReadyText() const {
    const SpectralStatistics& library = doc_.Statistics();
    const std::string reason = library.NotReadyReason();
    if (reason.empty()) return "";
    return "Library Not Ready: " + WithHint(reason, MenuHint(library.NotReadyRemedy()));
}

bool MainForm::IndivClassifyEnabled() const { return IndivClassifyDisabledReason().empty(); }

std::string MainForm::IndivClassifyDisabledReason() const {
    if (loaded_spectra_.empty())
        return "No spectra are loaded; load them with File > Open or Load ENVI Z Profile.";
    return LibraryNotReadyText();
}

bool MainForm::DeleteFeatureSpace(Frontend& frontend) {
    const FeatureSpace* fs = doc_.Session().CurrentFeatureSpace();
    if (!fs) return false;
    const int id = fs->Id();
    const std::string name = fs->Name();
    if (!frontend.Confirm("Delete the " + fs->TypeName() + " feature space \"" +
                          EscapeControls(name) + "\" with every spectral library built on it?"))
        return false;
    orvane::DeleteFeatureSpace(doc_.Session(), id);
    frontend.Report("Feature space \"" + EscapeControls(name) + "\" deleted with its libraries");
    RefreshFeatureSpaceList();
    return true;
}

bool MainForm::DeleteCurrentSensor(Frontend& frontend) {
    const Sensor* sensor = doc_.Session().CurrentSensor();
    if (!sensor) return false;
    if (!DeleteSensor(doc_.Session(), frontend, sensor->SensorId())) return false;
    FillSensorList();
    const Sensor* now = doc_.Session().CurrentSensor();
    sensors_.selected = now ? sensors_.IndexOf(now->SensorId()) : -1;
    RefreshFeatureSpaceList();
    return true;
}

void MainForm::AddSensor(int sensor_id) {
    const bool first = sensors_.Count() == 0;
    for (const auto& sensor : doc_.Session().Sensors()) {
        if (sensor->SensorId() == sensor_id) sensors_.Add(sensor->Name(), sensor_id);
    }
    if (first && sensors_.Count() > 0) {
        sensors_.selected = 0;
        doc_.Session().SetSensor(sensors_.SelectedData());
        RefreshFeatureSpaceList();
    }
}

std::string MainForm::SaveReport() { return doc_.SaveReport(); }

FormState MainForm::State() const {
    FormState state;
    state.studies = studies_;
    state.smoothing = smoothing_;
    state.sensors = sensors_;
    state.feature_spaces = feature_spaces_;
    state.classifiers = classifiers_;
    state.derivative_order = derivative_order_;
    state.derivative_method = derivative_method_;
    state.feature_space_type = FeatureSpaceType();
    state.chain_controls = ChainControlsEnabled();
    state.smoothing_edit = SmoothingEditEnabled();
    state.derivative_method_enabled = DerivativeMethodEnabled();
    state.derivative_edit = DerivativeEditEnabled();
    state.classify_reason = IndivClassifyDisabledReason();
    state.library_status = LibraryStatus();
    state.loaded_spectra = loaded_spectra_;
    state.stages = StageMenus();
    for (const MenuCommand& command : MenuCommands())
        state.command_reasons[command.id] = CommandDisabledReason(command.id);
    state.selections = Selections();
    state.study_id = doc_.Session().StudyId();
    state.chain_generation = chain_generation_;
    state.title = doc_.Title();
    state.report = ReportText();
    return state;
}

bool MainForm::HasSensor() const { return doc_.Session().HasSensor(); }

// The smoothing window and the derivative's method and window are stored with the study, so
// only an account that may change it edits them.
bool MainForm::SmoothingEditEnabled() const {
    return HasStudy() && smoothing_.selected > static_cast<int>(SmoothingType::kNone) &&
           doc_.Session().MayChangeStudy();
}

bool MainForm::DerivativeMethodEnabled() const {
    return HasStudy() && derivative_order_ >= 1 && doc_.Session().MayChangeStudy();
}

std::string MainForm::AccountText() const { return AccountLabel(doc_.Session().Rights()); }

std::string MainForm::RefusalText(const AccessDenied& denied, int command_id) const {
    return ServerRefusalText(denied, RuleOfMenu(command_id), doc_.Session());
}

bool MainForm::DerivativeEditEnabled() const {
    return DerivativeMethodEnabled() && derivative_method_ == kDerivativeSavGol;
}

bool MainForm::CommandEnabled(int command_id) const {
    return CommandDisabledReason(command_id).empty();
}

std::string MainForm::CommandDisabledReason(int command_id) const {
    const MenuCommand* command = FindMenuCommand(command_id);
    if (!command) return "Unknown command.";
    if (!command->built) return "Not available in this version.";
    // What the account may not do stays disabled whatever else holds, and says why.
    if (const CommandRule* rule = RuleOfMenu(command_id)) {
        const ProcessingSession& session = doc_.Session();
        const std::string refusal = CommandRefusal(*rule, session.Rights(),
                                                   HasStudy() ? session.StudyId() : 0,
                                                   session.StudyName());
        if (!refusal.empty()) return refusal;
    }
    if (command->needs_sensor && !HasSensor())
        return "No sensor is selected; import one (Database > Import Sensor).";
    const char* no_study = "No study is selected; create one (Database > Create New Study).";
    switch (command_id) {
        case kCmdFeatureSpaceDelete:
        case kCmdFeatureSpaceEdit:
        case kCmdFeatureSpaceCopyEdit:
            return doc_.Session().FeatureSpaceId() != 0 ? "" : "No feature space is selected.";
        case kCmdBuildLibrary:
            if (!HasStudy()) return no_study;
            return doc_.Session().FeatureSpaceId() != 0
                       ? ""
                       : "No feature space is selected; choose or create one of this type.";
        case kCmdWavebandFilterSetup:
        case kCmdExport:
        case kCmdDeleteStudy:
        case kCmdStudyReport:
        case kCmdSpeciesNames:
        case kCmdImportSpectra:
            return HasStudy() ? "" : no_study;
        // Everything that classifies works only on the library of the current study and
        // chain settings.
        case kCmdDiscriminantAnalysis:
        case kCmdIndependentSet:
        case kCmdSiteAccuracy:
        case kCmdSeparability: {
            if (!HasStudy()) return no_study;
            return LibraryNotReadyText();
        }
        case kCmdEndmemberSelection:
        case kCmdAbundanceSettings:
        case kCmdUnmix:
            return HasStudy() ? "" : no_study;
        case kCmdPca:
            return HasStudy() ? "" : no_study;
        // Each sensor's library is built as needed, so only the feature space must exist.
        case kCmdCompareSensors:
            if (!HasStudy()) return no_study;
            return doc_.Session().FeatureSpaceId() != 0 ? "" : "No feature space is selected.";
        default:
            return "";
    }
}

void MainForm::LogChainChanges(bool report) {
    std::vector<ChainSettingText> now;
    try {
        now = DescribeChainSettings(doc_.Session());
    } catch (const std::exception&) {
        // The log is a courtesy; the user's change stands without it.
        return;
    }
    if (report && !logged_settings_.empty()) {
        const std::string changes = ChainSettingChanges(logged_settings_, now, kEntryTimeWidth);
        if (!changes.empty()) doc_.Report(changes);
    }
    logged_settings_ = std::move(now);
}

void MainForm::ShowDerivativeMethod() {
    const ProcessingSession& session = doc_.Session();
    if (derivative_order_ >= 1 && session.DerivativeOrder() >= 1)
        derivative_method_ = session.Settings().derivative.method;
}

void MainForm::OnChainChanged() {
    ++chain_generation_;
    // A change made outside the form (the waveband filter dialogs) reports here.
    Reporting("the processing chain changed", [&] {
        ShowDerivativeMethod();
        RefreshFeatureSpaceList();
    });
}

void MainForm::SpectrumLoaded() {
    if (!doc_.LoadedSpectra().empty())
        loaded_spectra_.push_back(doc_.LoadedSpectra().back()->DisplayName());
}

void MainForm::ReportChanged() {
    if (report_listener_) report_listener_();
}

void MainForm::LoadedSpectraRemoved() {
    loaded_spectra_.clear();
    for (const auto& spectrum : doc_.LoadedSpectra())
        loaded_spectra_.push_back(spectrum->DisplayName());
}

void MainForm::SaveReport(const std::string& path) { doc_.SaveReportTo(path); }

void MainForm::RemoveLoadedSpectra(const std::vector<int>& rows) {
    std::vector<int> sorted = rows;
    // From the last row up, so the rows still to remove keep their positions.
    std::sort(sorted.rbegin(), sorted.rend());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    std::vector<size_t> indices;
    for (int row : sorted)
        if (row >= 0 && row < static_cast<int>(doc_.LoadedSpectra().size()))
            indices.push_back(static_cast<size_t>(row));
    doc_.RemoveLoadedSpectraAt(indices);
}

std::vector<StageMenu> MainForm::StageMenus() const {
    std::vector<StageMenu> menus;
    const ProcessingSession& session = doc_.Session();
    for (const StageDeclaration* s : OptionalStages()) {
        StageMenu menu{s->id, s->option->label, {}, session.StageMode(s->id), s->option->pairs,
                       s->option->default_pairs, {}, HasStudy() && session.MayChangeStudy()};
        for (const char* m : s->option->modes) menu.modes.push_back(m);
        for (const auto& [lower, upper] : session.StagePairsOf(s->id))
            menu.pairs_text += (menu.pairs_text.empty() ? "" : " ") + std::to_string(lower) +
                               "-" + std::to_string(upper);
        menus.push_back(std::move(menu));
    }
    return menus;
}

void MainForm::SetStageMode(Stage stage, int mode) {
    const StageOption& option = *Declaration(stage).option;
    if (mode < 0 || mode >= static_cast<int>(option.modes.size())) return;
    Reporting(fmt::format("the {} changed to {}", option.label, option.modes[mode]), [&] {
        doc_.Session().SetStageMode(stage, mode);
    });
}

void MainForm::SetStagePairs(Stage stage, const std::string& text) {
    const StageOption& option = *Declaration(stage).option;
    // Blanks around a dash belong to its pair; other blanks and commas separate pairs.
    std::string joined;
    for (size_t at = 0; at < text.size(); ++at) {
        if (text[at] == ' ' || text[at] == '\t') {
            const size_t next = text.find_first_not_of(" \t", at);
            const size_t prev = joined.find_last_not_of(" \t");
            if ((next != std::string::npos && text[next] == '-') ||
                (prev != std::string::npos && joined[prev] == '-'))
                continue;
        }
        joined += text[at];
    }
    const std::string what = std::string("Each of the ") +
                             std::string(option.pairs).substr(0, std::string(option.pairs).find(','));
    StagePairs pairs;
    std::string word;
    for (size_t at = 0; at <= joined.size(); ++at) {
        const char c = at < joined.size() ? joined[at] : ' ';
        if (c != ' ' && c != ',' && c != '\t') {
            word += c;
            continue;
        }
        if (word.empty()) continue;
        const NumberPair pair = ParseIntRange(word, 0, kMaxTypedWavelength, what);
        pairs.emplace_back(pair.first, pair.second);
        word.clear();
    }
    Reporting(fmt::format("the {} changed", option.pairs),
              [&] { doc_.Session().SetStagePairs(stage, pairs); });
}

FormSelections MainForm::Selections() const {
    FormSelections s;
    s.study_id = studies_.SelectedData();
    s.sensor_id = sensors_.SelectedData();
    s.smoothing = smoothing_.selected < 0 ? 0 : smoothing_.selected;
    s.derivative_order = derivative_order_;
    s.derivative_method = derivative_method_;
    s.feature_space_type = doc_.FeatureSpaceType();
    s.feature_space_id = feature_spaces_.SelectedData();
    s.classifier = classifiers_.SelectedData();
    for (const StageDeclaration* stage : OptionalStages())
        s.stage_modes[static_cast<int>(stage->id)] = doc_.Session().StageMode(stage->id);
    return s;
}

void MainForm::RestoreSelections(const FormSelections& s) {
    // Coming back to the last run's choices resets nothing the user chose in this run.
    ++quiet_;
    struct Done {
        int& quiet;
        MainForm& form;
        ~Done() {
            --quiet;
            // The last run's choices are where the log starts from.
            if (quiet == 0) form.LogChainChanges(false);
        }
    } done{quiet_, *this};
    const int study = studies_.IndexOf(s.study_id);
    if (study >= 0 && study != studies_.selected) SelectStudy(study);
    const int sensor = sensors_.IndexOf(s.sensor_id);
    if (sensor >= 0 && sensor != sensors_.selected) SelectSensor(sensor);
    if (s.smoothing != smoothing_.selected) SelectSmoothing(s.smoothing);
    if (s.derivative_order != derivative_order_) SetDerivativeOrder(s.derivative_order);
    if (s.derivative_order > 0 && s.derivative_method != derivative_method_)
        SetDerivativeMethod(s.derivative_method);
    if (s.feature_space_type != doc_.FeatureSpaceType()) SetFeatureSpaceType(s.feature_space_type);
    const int fs = feature_spaces_.IndexOf(s.feature_space_id);
    if (fs >= 0 && fs != feature_spaces_.selected) SelectFeatureSpace(fs);
    const int classifier = classifiers_.IndexOf(s.classifier);
    if (classifier >= 0 && classifier != classifiers_.selected) SelectClassifier(classifier);
    for (const StageDeclaration* stage : OptionalStages()) {
        const auto mode = s.stage_modes.find(static_cast<int>(stage->id));
        if (mode != s.stage_modes.end() && mode->second != doc_.Session().StageMode(stage->id))
            SetStageMode(stage->id, mode->second);
    }
}

}  // namespace orvane
