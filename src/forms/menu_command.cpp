#include "forms/menu_command.h"

namespace orvane {

namespace {
constexpr bool kBuilt = true;
constexpr bool kNotYet = false;
constexpr bool kSensor = true;
constexpr bool kAny = false;
}  // namespace

const std::vector<MenuCommand>& MenuCommands() {
    // Enabling a command whose feature arrives later is a change of its `built` column.
    static const std::vector<MenuCommand> table = {
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
        {kCmdImportSensor, "Database", "Import Sensor", kBuilt, kAny},
        {kCmdDeleteSensor, "Database", "Delete Current Sensor", kBuilt, kSensor},
        {kCmdWavebandFilterSetup, "Chain Settings", "Waveband Filter Setup", kBuilt, kAny},
        {kCmdFeatureSpaceEdit, "Chain Settings, Feature Space", "Edit", kBuilt, kSensor},
        {kCmdFeatureSpaceCopyEdit, "Chain Settings, Feature Space", "Copy and Edit", kBuilt,
         kSensor},
        {kCmdFeatureSpaceNew, "Chain Settings, Feature Space", "New", kBuilt, kSensor},
        {kCmdFeatureSpaceDelete, "Chain Settings, Feature Space", "Delete", kBuilt, kAny},
        {kCmdDiscriminantAnalysis, "Statistics", "Discriminant Analysis", kBuilt, kSensor},
        {kCmdIndependentSet, "Statistics", "Discr. Analysis using independent Set", kBuilt,
         kSensor},
        {kCmdSeparability, "Statistics", "Separability Report", kBuilt, kSensor},
        {kCmdSiteAccuracy, "Statistics", "Site Accuracy Check", kBuilt, kSensor},
        {kCmdPca, "Statistics", "PCA", kBuilt, kSensor},
        {kCmdEndmemberSelection, "Spectral Mixing", "Endmember Selection", kBuilt, kSensor},
        {kCmdAbundanceSettings, "Spectral Mixing", "Abundance Settings", kBuilt, kSensor},
        {kCmdUnmix, "Spectral Mixing", "Unmix", kBuilt, kSensor},
        {kCmdAbout, "&Help", "&About Orvane...", kBuilt, kAny},
    };
    return table;
}

const MenuCommand* FindMenuCommand(int id) {
    for (const MenuCommand& c : MenuCommands())
        if (c.id == id) return &c;
    return nullptr;
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

}  // namespace orvane
