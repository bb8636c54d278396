// history and restore: the earlier versions of a LUT or offset file.
#include <algorithm>
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
#include "history/CalibrationLog.h"
#include "history/History.h"
#include "history/Restore.h"
#include "scans/ScanChecks.h"

namespace host {

namespace {

// One line of the listing: the file itself or a kept version, as it reads.
struct CEntry {
    std::string label;  // "now" or the version's number
    std::string path;
    std::optional<std::vector<uint8_t>> bytes;  // nothing when missing or unreadable
    bool IsLut() const { return bytes && kavrel::HasLutFileMagic(*bytes); }
};

// The samples of an offset map, or nothing for a LUT or a file that cannot be read as a map.
std::optional<std::vector<int>> MapSamples(const CEntry& entry) {
    if (!entry.bytes || entry.IsLut()) return std::nullopt;
    try {
        const COffsetMap map = ParseOffsetFile(entry.path, *entry.bytes);
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

// For a LUT: its entries at a few inputs and the readings that made it, where recorded.
std::string LutFigures(const CEntry& entry, const CCalibrationLog& log) {
    if (!entry.IsLut()) return "";
    std::string figures;
    try {
        figures = "  " + LutSummary(ParseLutFile(entry.path, *entry.bytes));
    } catch (const CHostError&) {
        return "  not a complete LUT file";
    }
    const std::optional<CMadeBy> made = log.MadeThis(*entry.bytes);
    if (made) figures += "  made from " + made->name + " at " + made->time;
    return figures;
}

// "  same as version 2" for an entry identical to a newer one listed before it.
std::string SameAs(const std::vector<CEntry>& entries, size_t i) {
    if (!entries[i].bytes) return "";
    for (size_t newer = 0; newer < i; ++newer)
        if (entries[newer].bytes == entries[i].bytes)
            return "  same as " + (newer == 0 ? std::string("now") : "version " + entries[newer].label);
    return "";
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
    std::vector<CEntry> entries{{"now", file, FileExists(ResolveLinks(file))
                                                   ? TryReadWholeFile(file, kMaxOffsetFileBytes)
                                                   : std::nullopt}};
    for (size_t i = 0; i < versions.size(); ++i)
        entries.push_back({std::to_string(i + 1), versions[i].path,
                           TryReadWholeFile(versions[i].path, kMaxOffsetFileBytes)});
    const bool luts = std::any_of(entries.begin(), entries.end(),
                                  [](const CEntry& entry) { return entry.IsLut(); });
    std::cout << file << ": " << versions.size() << " earlier version"
              << (versions.size() == 1 ? "" : "s") << " in " << history.Folder()
              << ", newest first (replaced at); "
              << (luts ? "LUTs with their entries at a few inputs and the readings that made them "
                         "(where recorded):\n"
                       : "offset maps with their spread and the spread of their change from the "
                         "version before:\n");
    const CCalibrationLog log(history.Folder());
    // Each map beside the one before it, the file itself first.
    std::vector<std::optional<std::vector<int>>> maps;
    for (const CEntry& entry : entries) maps.push_back(MapSamples(entry));
    maps.push_back(std::nullopt);
    for (size_t i = 0; i < entries.size(); ++i) {
        const CEntry& entry = entries[i];
        std::cout << "  " << entry.label;
        if (i > 0) std::cout << "  " << versions[i - 1].time << "  " << versions[i - 1].size << " bytes";
        if (i == 0 && !FileExists(ResolveLinks(file)))
            std::cout << "  no such file (deleted or moved; 'restore " << file
                      << "' puts version 1 back)";
        else if (!entry.bytes)
            std::cout << "  cannot be read";
        std::cout << LutFigures(entry, log) << MapFigures(maps[i], maps[i + 1]) << SameAs(entries, i)
                  << "  " << entry.path << "\n";
    }
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
