// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/menu_command.h"

#include <cctype>

#include "forms/analyses.h"

namespace orvane {

namespace {
constexpr bool kBuilt = true;
[[maybe_unused]] constexpr bool kNotYet = false;  // for a command whose feature is not built yet
constexpr bool kSensor = true;
constexpr bool kAny = false;
}  // namespace

const std::vector<MenuCommand>& MenuCommands() {
    // Enabling a command whose feature arrives later is a change of its `built` column.
    static const std::vector<MenuCommand> table = [] {
    // A declared analysis's entry says what its declaration says.
    auto declared = [](CommandId id) {
        return MenuCommand{id, "Statistics", FindAnalysisByMenuId(id)->menu_text, kBuilt, kSensor};
    };
    std::vector<MenuCommand> rows = {
        {kCmdLoadZProfile, "&File", "Load ENVI Z Profile", kBuilt, kSensor},
        {kCmdOpen, "&File", "&Open...\tCtrl+O", kBuilt, kAny},
        {kCmdSaveReport, "&File", "&Save Report Window Content\tCtrl+S", kBuilt, kAny},
        {kCmdExport, "&File", "Export", kBuilt, kSensor},
        {kCmdExit, "&File", "E&xit", kBuilt, kAny},
        {kCmdBuildLibrary, "Library", "Build", kBuilt, kSensor},
        {kCmdCreateStudy, "Database", "Create New Study", kBuilt, kAny},
        {kCmdDeleteStudy, "Database", "Delete Current Study", kBuilt, kAny},
        {kCmdStudyReport, "Database", "Study Report", kBuilt, kAny},
        {kCmdImportSpectra, "Database", "Import Spectra into current Study", kBuilt, kAny},
        {kCmdSpeciesNames, "Database", "Species Names...", kBuilt, kAny},
        {kCmdImportSensor, "Database", "Import Sensor", kBuilt, kAny},
        {kCmdDeleteSensor, "Database", "Delete Current Sensor", kBuilt, kSensor},
        {kCmdWavebandFilterSetup, "Chain Settings", "Waveband Filter Setup", kBuilt, kAny},
        {kCmdFeatureSpaceEdit, "Chain Settings, Feature Space", "Edit", kBuilt, kSensor},
        {kCmdFeatureSpaceCopyEdit, "Chain Settings, Feature Space", "Copy and Edit", kBuilt,
         kSensor},
        {kCmdFeatureSpaceNew, "Chain Settings, Feature Space", "New", kBuilt, kSensor},
        {kCmdFeatureSpaceDelete, "Chain Settings, Feature Space", "Delete", kBuilt, kAny},
        declared(kCmdDiscriminantAnalysis),
        {kCmdIndependentSet, "Statistics", "Discr. Analysis using independent Set", kBuilt,
         kSensor},
        declared(kCmdSeparability),
        {kCmdSiteAccuracy, "Statistics", "Site Accuracy Check", kBuilt, kSensor},
        {kCmdPca, "Statistics", "PCA", kBuilt, kSensor},
        {kCmdCompareSensors, "Statistics", "Compare Sensors...", kBuilt, kSensor},
        {kCmdMapImage, "Statistics", "Map Image...", kBuilt, kSensor},
        {kCmdMapAccuracy, "Statistics", "Map Accuracy...", kBuilt, kAny},
        {kCmdEndmemberSelection, "Spectral Mixing", "Endmember Selection", kBuilt, kSensor},
        {kCmdAbundanceSettings, "Spectral Mixing", "Abundance Settings", kBuilt, kSensor},
        {kCmdUnmix, "Spectral Mixing", "Unmix", kBuilt, kSensor},
        {kCmdSpectraPlot, "&View", "Spectra &Plot", kBuilt, kAny},
        {kCmdStudyBrowser, "&View", "Study &Browser", kBuilt, kAny},
        {kCmdScorePlot, "&View", "PCA &Score Plot", kBuilt, kAny},
        {kCmdResultTables, "&View", "Result &Tables", kBuilt, kAny},
        {kCmdManual, "&Help", "Orvane &Manual\tF1", kBuilt, kAny},
        {kCmdHowToCite, "&Help", "How to &Cite...", kBuilt, kAny},
        {kCmdAbout, "&Help", "&About Orvane...", kBuilt, kAny},
    };
    // Analyses declared without a fixed id follow the fixed entries of the Statistics menu.
    auto after = rows.begin();
    for (auto it = rows.begin(); it != rows.end(); ++it)
        if (it->menu == "Statistics") after = it + 1;
    for (const Analysis& a : Analyses())
        if (a.menu_id >= kCmdFirstDeclaredAnalysis)
            after = rows.insert(after, declared(static_cast<CommandId>(a.menu_id))) + 1;
    return rows;
    }();
    return table;
}

const MenuCommand* FindMenuCommand(int id) {
    for (const MenuCommand& c : MenuCommands())
        if (c.id == id) return &c;
    return nullptr;
}

std::vector<std::string> WithMnemonics(const std::vector<std::string>& titles) {
    std::string used;
    auto lower = [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); };
    for (const std::string& t : titles) {
        const auto amp = t.find('&');
        if (amp != std::string::npos && amp + 1 < t.size()) used += lower(t[amp + 1]);
    }
    std::vector<std::string> result;
    for (const std::string& t : titles) {
        if (t.find('&') != std::string::npos) {
            result.push_back(t);
            continue;
        }
        size_t pick = std::string::npos;
        for (int pass = 0; pass < 2 && pick == std::string::npos; ++pass)
            for (size_t i = 0; i < t.size(); ++i) {
                const bool initial = i == 0 || t[i - 1] == ' ';
                if ((pass == 1 || initial) && std::isalpha(static_cast<unsigned char>(t[i])) &&
                    used.find(lower(t[i])) == std::string::npos) {
                    pick = i;
                    break;
                }
            }
        if (pick == std::string::npos) {
            result.push_back(t);
            continue;
        }
        used += lower(t[pick]);
        result.push_back(t.substr(0, pick) + "&" + t.substr(pick));
    }
    return result;
}

std::vector<std::string> MenuPath(const MenuCommand& command) {
    std::vector<std::string> path;
    std::string::size_type start = 0;
    while (true) {
        const auto comma = command.menu.find(',', start);
        std::string part = command.menu.substr(start, comma - start);
        const auto first = part.find_first_not_of(' ');
        path.push_back(first == std::string::npos ? "" : part.substr(first));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return path;
}

std::string MenuHint(Remedy remedy) {
    CommandId id;
    switch (remedy) {
        case Remedy::kImportSensor:
            id = kCmdImportSensor;
            break;
        case Remedy::kMarkEndmembers:
        case Remedy::kReturnEndmembers:
            id = kCmdEndmemberSelection;
            break;
        case Remedy::kBuildLibrary:
            id = kCmdBuildLibrary;
            break;
        case Remedy::kGiveWavelengths:
            // Every dialog that opens an image has this field.
            return "choose it as the dialog's Wavelengths file";
        default:
            return "";
    }
    const MenuCommand* command = FindMenuCommand(id);
    std::string hint;
    for (const std::string& part : MenuPath(*command)) hint += part + " > ";
    return hint + command->text;
}

}  // namespace orvane
