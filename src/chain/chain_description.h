// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace orvane {

class ProcessingSession;
struct ChainSpec;

// One setting of the chain as the report names it: "Sensor" and "Sentinel-2A MSI".
struct ChainSettingText {
    std::string label;
    std::string value;
};

// Which parts of the chain a result depends on; an analysis that never reaches a step leaves
// it out of its description rather than naming a setting that played no part.
struct ChainParts {
    bool sensor = true;
    bool derivative = true;
    bool feature_space = true;
    bool classifier = true;
    // The chain to describe when it is not the session's current one (a sensor comparison's
    // other sensors); the study and the classifier are the session's.
    const ChainSpec* chain = nullptr;
};

// Every setting the chain computes from, in chain order: study, sensor, splice correction,
// waveband filter, smoothing, continuum removal, derivative, feature-space type, feature space,
// classifier. The optional stages name their mode and their pairs, so a reader can tell a
// stage that ran from one that passed its input on.
std::vector<ChainSettingText> DescribeChainSettings(ProcessingSession& session,
                                                    const ChainParts& parts = {});

// The settings that differ between two descriptions, one "Label: value" line each with the
// value `after` holds; empty when none changed. Continuation lines are indented by `indent`.
std::string ChainSettingChanges(const std::vector<ChainSettingText>& before,
                                const std::vector<ChainSettingText>& after, size_t indent = 0);

// The chain in two lines, for the heading of every analysis and the command line's output:
// "Chain: sensor ...; splice correction off; ...; derivative order 0" and
// "Feature space ... ; classifier ...".
std::string DescribeChain(ProcessingSession& session, const ChainParts& parts = {});

// An optional stage's mode with its pairs as the report and the provenance name them:
// "off (continuum ranges: the whole valid range)", "additive (splice joins: 1000-1001 ...)".
std::string DescribeStageOption(const ProcessingSession& session, int stage_id);
std::string DescribeStageOption(const ChainSpec& definition, int stage_id);

}  // namespace orvane
