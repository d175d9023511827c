// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "base/orvane_error.h"

namespace orvane {

// Command identifiers as the menu, accelerators and tool bar know them.
enum CommandId {
    kCmdLoadZProfile = 32779,
    kCmdOpen = 57601,
    kCmdSaveReport = 57603,
    kCmdExport = 32781,
    kCmdExit = 57665,
    kCmdBuildLibrary = 32772,
    kCmdCreateStudy = 32786,
    kCmdDeleteStudy = 32792,
    kCmdStudyReport = 32794,
    kCmdImportSpectra = 32793,
    kCmdImportSensor = 32780,
    kCmdDeleteSensor = 32811,
    kCmdWavebandFilterSetup = 32787,
    kCmdFeatureSpaceEdit = 32788,
    kCmdFeatureSpaceCopyEdit = 32789,
    kCmdFeatureSpaceNew = 32790,
    kCmdFeatureSpaceDelete = 32791,
    kCmdDiscriminantAnalysis = 32777,
    kCmdIndependentSet = 32771,
    kCmdSeparability = 32773,
    kCmdSiteAccuracy = 32778,
    kCmdPca = 32785,
    kCmdEndmemberSelection = 32782,
    kCmdAbundanceSettings = 32783,
    kCmdUnmix = 32784,
    kCmdAbout = 57664,
    kCmdSpectraPlot = 32850,
    kCmdStudyBrowser = 32851,
    kCmdCompareSensors = 32852,
    kCmdScorePlot = 32853,
    kCmdSpeciesNames = 32854,
    kCmdResultTables = 32860,
    kCmdManual = 32870,
    kCmdHowToCite = 32871,
    kCmdMapImage = 32880,
    kCmdMapAccuracy = 32881,
    // The first id of the declared analyses (forms/analyses.h) that have no fixed one.
    kCmdFirstDeclaredAnalysis = 33000,
};

// One menu entry. `menu` may name a submenu after a comma ("Chain Settings, Feature Space").
// `built` says whether the command's feature exists in this build; an unbuilt command is
// shown disabled. `needs_sensor` marks commands that process spectra.
struct MenuCommand {
    CommandId id;
    std::string menu;
    std::string text;
    bool built;
    bool needs_sensor;
};

// Every menu command in menu order.
const std::vector<MenuCommand>& MenuCommands();
const MenuCommand* FindMenuCommand(int id);

// The top-level menu titles, each given an Alt letter: a title that marks one with "&"
// keeps it, the others take the first free initial of a word, else the first free letter.
std::vector<std::string> WithMnemonics(const std::vector<std::string>& titles);

// The menu path of a command split at the comma: {"Chain Settings", "Feature Space"}.
std::vector<std::string> MenuPath(const MenuCommand& command);

// The menu command that mends an error of the core, as "Library > Build"; empty for none.
std::string MenuHint(Remedy remedy);

}  // namespace orvane
