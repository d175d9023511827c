// SPDX-License-Identifier: GPL-3.0-or-later
#include "chain/smoothing_type.h"
#include "chain/chain_description.h"

#include <fmt/format.h>

#include "base/shown_text.h"
#include "chain/chain_stage.h"
#include "chain/classifiers.h"
#include "chain/derivative_settings.h"
#include "chain/feature_space.h"
#include "chain/processing_session.h"
#include "spectra/waveband_filter.h"
#include "store/chain_settings_repository.h"

namespace orvane {

namespace {

std::string Quoted(const std::string& text) { return "\"" + EscapeControls(text) + "\""; }

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string FilterText(const ChainSpec& definition) {
    const WavebandFilter* filter = &definition.study_filter;
    if (filter->Count() == 0) return "none";
    std::string text;
    for (int i = 0; i < filter->Count(); ++i) {
        const WavebandFilter::Entry& e = filter->At(i);
        if (!text.empty()) text += ", ";
        text += e.kind == 1 ? fmt::format("{}-{}", e.lower, e.upper) : std::to_string(e.band);
    }
    return text + " nm";
}

std::string SmoothingText(ProcessingSession& session, const ChainSpec& definition) {
    const int type = definition.smoothing.type;
    if (Is(type, SmoothingType::kNone)) return "none";
    const std::string name = ChainSettingsRepository(session.Db())
                                 .SmoothingTypeName(type)
                                 .value_or("type " + std::to_string(type));
    if (!IsSavitzkyGolay(type)) return name;
    const SmoothingSettings& sg = definition.smoothing;
    return fmt::format("{}, {} bands, polynomial order {}", name, sg.size, sg.polynomial_order);
}

std::string DerivativeText(ProcessingSession& session, const ChainSpec& definition) {
    const int order = definition.derivative.order;
    if (order < 1) return "order 0 (none)";
    const DerivativeSettings& d = definition.derivative;
    const std::string method = ChainSettingsRepository(session.Db())
                                   .DerivativeMethodName(d.method)
                                   .value_or("method " + std::to_string(d.method));
    if (d.method != kDerivativeSavGol) return fmt::format("order {}, {}", order, method);
    return fmt::format("order {}, {}, {} bands, polynomial order {}", order, method, d.size,
                       d.polynomial_order);
}

std::string FeatureSpaceText(const ChainSpec& definition) {
    const FeatureSpace* fs = definition.feature_space.get();
    if (!fs) return "none";
    const int n = fs->Dimension();
    return fmt::format("{} ({} feature{})", Quoted(fs->Name()), n, n == 1 ? "" : "s");
}

std::string ClassifierText(Classifier classifier) {
    for (const ClassifierEntry& c : ClassifierRegistry())
        if (c.kind == classifier) return c.label;
    return "unknown";
}

}  // namespace

std::string DescribeStageOption(const ProcessingSession& session, int stage_id) {
    return DescribeStageOption(session.Settings(), stage_id);
}

std::string DescribeStageOption(const ChainSpec& definition, int stage_id) {
    const StageDeclaration& stage = Declaration(static_cast<Stage>(stage_id));
    if (!stage.option) return "";
    const StageOption& option = *stage.option;
    const int mode = definition.Setting(stage.id).mode;
    const std::string pairs_word =
        std::string(option.pairs).substr(0, std::string(option.pairs).find(','));
    std::string pairs;
    for (const auto& [lower, upper] : definition.Setting(stage.id).pairs)
        pairs += (pairs.empty() ? "" : " ") + fmt::format("{}-{}", lower, upper);
    if (pairs.empty()) pairs = option.default_pairs;
    const char* word = mode >= 0 && mode < static_cast<int>(option.modes.size())
                           ? option.modes[static_cast<size_t>(mode)]
                           : "unknown";
    return fmt::format("{} ({}: {})", word, pairs_word, pairs);
}

std::vector<ChainSettingText> DescribeChainSettings(ProcessingSession& session,
                                                    const ChainParts& parts) {
    std::vector<ChainSettingText> settings;
    const ChainSpec& definition = parts.chain ? *parts.chain : session.Settings();
    settings.push_back({"Study", session.StudyId() ? Quoted(session.StudyName()) : "none"});
    const Sensor* sensor = definition.sensor.get();
    if (parts.sensor)
        settings.push_back({"Sensor", sensor ? EscapeControls(sensor->Name()) : "none"});
    // Chain order, the optional stages where they run.
    for (const StageDeclaration& s : Stages()) {
        if (s.option) {
            settings.push_back(
                {s.option->label, DescribeStageOption(definition, static_cast<int>(s.id))});
        } else if (s.id == Stage::kFiltered) {
            settings.push_back({"Waveband filter", FilterText(definition)});
        } else if (s.id == Stage::kSmoothed) {
            settings.push_back({"Smoothing", SmoothingText(session, definition)});
        } else if (s.id == Stage::kDerived && parts.derivative) {
            settings.push_back({"Derivative", DerivativeText(session, definition)});
        }
    }
    if (parts.feature_space) {
        settings.push_back({"Feature space type", session.FeatureSpaceTypeName().empty()
                                                      ? std::to_string(session.FeatureSpaceType())
                                                      : session.FeatureSpaceTypeName()});
        settings.push_back({"Feature space", FeatureSpaceText(definition)});
    }
    if (parts.classifier)
        settings.push_back({"Classifier", ClassifierText(session.ClassifierInUse())});
    return settings;
}

std::string ChainSettingChanges(const std::vector<ChainSettingText>& before,
                                const std::vector<ChainSettingText>& after, size_t indent) {
    std::string text;
    for (const ChainSettingText& now : after) {
        bool same = false;
        for (const ChainSettingText& was : before)
            if (was.label == now.label) same = was.value == now.value;
        if (same) continue;
        if (!text.empty()) text += "\n" + std::string(indent, ' ');
        text += now.label + ": " + now.value;
    }
    return text;
}

std::string DescribeChain(ProcessingSession& session, const ChainParts& parts) {
    std::string chain;
    std::string model;
    for (const ChainSettingText& s : DescribeChainSettings(session, parts)) {
        const bool second = s.label == "Feature space type" || s.label == "Feature space" ||
                            s.label == "Classifier";
        std::string& line = second ? model : chain;
        line += (line.empty() ? "" : "; ") + Lower(s.label) + " " + s.value;
    }
    if (!model.empty()) model[0] = static_cast<char>(model[0] - 'a' + 'A');
    return "Chain: " + chain + (model.empty() ? "" : "\n" + model);
}

}  // namespace orvane
