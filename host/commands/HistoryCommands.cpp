// history and restore: the earlier versions of a LUT or offset file.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <vector>

#include "commands/Arguments.h"
#include "commands/Commands.h"
#include "common/Errors.h"
#include "common/Numbers.h"
#include "files/FileRequirements.h"
#include "files/Files.h"
#include "history/History.h"
#include "history/Restore.h"
#include "scans/ScanChecks.h"

namespace host {

namespace {

// The samples of an offset map, or nothing for a LUT or a file that cannot be read as a map.
std::optional<std::vector<int>> MapSamples(const std::string& path) {
    try {
        const std::vector<uint8_t> bytes = ReadWholeFile(path, kMaxOffsetFileBytes);
        if (kavrel::HasLutFileMagic(bytes)) return std::nullopt;
        const COffsetMap map = ParseOffsetFile(path, bytes);
        return std::vector<int>(map.samples.begin(), map.samples.end());
    } catch (const CHostError&) {
        return std::nullopt;
    }
}

// For an offset map: its spread and its change from the version before it, in levels.
std::string MapFigures(const std::optional<std::vector<int>>& map,
                       const std::optional<std::vector<int>>& before) {
    if (!map) return "";
    char text[96];
    std::snprintf(text, sizeof text, "  spread %.1f levels", Spread(*map));
    std::string figures = text;
    if (before && before->size() == map->size()) {
        std::vector<int> change(map->size());
        for (size_t i = 0; i < change.size(); ++i) change[i] = (*map)[i] - (*before)[i];
        std::snprintf(text, sizeof text, ", change from the version before %.1f levels",
                      Spread(change));
        figures += text;
    }
    return figures;
}

}  // namespace

int RunHistory(const CArgs& args) {
    CArguments arguments(
        "history", "FILE",
        "Lists the earlier versions of a LUT or offset file that calc-lut, calc-offset and\n"
        "restore keep (the last " +
            std::to_string(kHistoryLength) +
            ", in the folder FILE.history beside it), newest first: version 1 is the\n"
            "file as it was before the last calibration or restore. 'restore FILE N' puts one "
            "back.\nA FILE that neither exists nor has earlier versions is an error (exit 1).",
        {}, 1, 1, false);
    if (!arguments.ParseOrShowHelp(args)) return 0;
    const std::string file = arguments.Positionals()[0];
    const CHistory history(file);
    const std::vector<CVersion> versions = KeptVersions(file);
    if (versions.empty()) {
        std::cout << file << ": no earlier versions kept (" << history.Folder() << ")\n";
        return 0;
    }
    std::cout << file << ": " << versions.size() << " earlier version"
              << (versions.size() == 1 ? "" : "s") << " in " << history.Folder()
              << ", newest first (replaced at); offset maps with their spread and the spread of "
                 "their change from the version before:\n";
    // Each map beside the one before it, the file itself first.
    std::vector<std::optional<std::vector<int>>> maps{MapSamples(file)};
    for (const CVersion& version : versions) maps.push_back(MapSamples(version.path));
    maps.push_back(std::nullopt);
    std::cout << "  now" << MapFigures(maps[0], maps[1]) << "  " << file << "\n";
    for (size_t i = 0; i < versions.size(); ++i)
        std::cout << "  " << i + 1 << "  " << versions[i].time << "  " << versions[i].size
                  << " bytes" << MapFigures(maps[i + 1], maps[i + 2]) << "  " << versions[i].path
                  << "\n";
    return 0;
}

int RunRestore(const CArgs& args) {
    CArguments arguments(
        "restore", "FILE [N]",
        "Puts earlier version N (see 'history FILE'; default 1, the file as it was before the\n"
        "last calibration or restore) back in place of the LUT or offset file FILE, in one step.\n"
        "The version it replaces is kept as the newest earlier version, so a restore can be\n"
        "undone with another 'restore FILE'.",
        {}, 1, 2, false);
    if (!arguments.ParseOrShowHelp(args)) return 0;
    const std::string file = arguments.Positionals()[0];
    long long number = 1;
    if (arguments.Positionals().size() == 2 &&
        (!ParseInteger(arguments.Positionals()[1], number) || number < 1))
        throw CUsageError("restore: N must be a whole number from 1, not '" +
                          arguments.Positionals()[1] + "'");

    const CRestored restored = RestoreVersion(file, number);
    std::cout << file << ": restored version " << number << " (" << restored.description
              << ", replaced at " << restored.version.time << ")";
    if (restored.replacedKept) std::cout << "; the version it replaced is kept as version 1";
    std::cout << "\n";
    return 0;
}

}  // namespace host
