// kavrel-host: the command-line host of the kavrel exposure-display library.
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>

#include "commands/Commands.h"
#include "common/Errors.h"
#include "files/Files.h"
#include "files/Platform.h"
#include "files/SharedLibrary.h"
#include "library/Kavrel.h"

namespace host {

namespace {

constexpr const char* kHelp =
    "kavrel-host: exposes images on the output display through the kavrel library and\n"
    "calibrates it\n"
    "\n"
    "usage: kavrel-host COMMAND [arguments] [options]\n"
    "       kavrel-host COMMAND --help     the arguments and options of one command\n"
    "       kavrel-host help COMMAND       the same\n"
    "       kavrel-host --version          the host's version and the library's (also -v, /v;\n"
    "                                      --library PATH names the library)\n"
    "\n"
    "commands:\n"
    "  expose        show the twelve frames of an image on the output display\n"
    "  prepare       write the 2560 x 2048 bitmap that expose makes of a photo\n"
    "  calc-lut      compute a new LUT from the densitometer readings of the grey scale\n"
    "  calc-offset   compute a new offset map from a scan of the offset test pattern\n"
    "  targets       write the grey scale and the offset test pattern to expose and print\n"
    "  sample-image  write a 2560 x 2048 sample image to try expose with\n"
    "  show          load files into the library and print what it holds\n"
    "  check-display check that a display shows every packed bit unchanged\n"
    "  displays      list the display names that --device takes\n"
    "  history       list the earlier versions of a LUT or offset file\n"
    "  restore       put an earlier version of a LUT or offset file back\n"
    "\n"
    "The library is loaded from beside this program, or from --library PATH.\n"
    "Exit status: 0 done, 1 failed (the message names the file or argument at fault),\n"
    "2 wrong command line.\n";

struct CCommand {
    const char* name;
    int (*run)(const CArgs&);
};

constexpr CCommand kCommands[] = {
    {"expose", RunExpose},   {"calc-lut", RunCalcLut},         {"calc-offset", RunCalcOffset},
    {"targets", RunTargets}, {"sample-image", RunSampleImage}, {"show", RunShow},
    {"check-display", RunCheckDisplay}, {"displays", RunDisplays},
    {"history", RunHistory}, {"restore", RunRestore}, {"prepare", RunPrepare},
};

// The library that --library names, or the one beside the program.
std::string LibraryOf(const CArgs& args) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--library" && i + 1 < args.size()) return args[i + 1];
        if (args[i].compare(0, 10, "--library=") == 0) return args[i].substr(10);
    }
    return CKavrel::DefaultPath();
}

int ShowVersion(const CArgs& args) {
    std::cout << "kavrel-host " << KAVREL_VERSION << "\n";
    const std::string library = LibraryOf(args);
    if (!Exists(library)) {
        std::cout << "library: " << library << ": no such file\n";
        return 0;
    }
    // The DLL's version from its version resource; a shared object records none.
    const std::string version = LibraryVersion(library);
    if (version.empty())
        std::cout << "library: " << library << "\n";
    else
        std::cout << LibraryFileName() << " " << version << " (" << library << ")\n";
    return 0;
}

bool GivesLibrary(const CArgs& args) {
    for (const std::string& arg : args)
        if (arg == "--library" || arg.compare(0, 10, "--library=") == 0) return true;
    return false;
}

}  // namespace

int Main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << kHelp;
        return 2;
    }
    std::string name = argv[1];
    CArgs args(argv + 2, argv + argc);
    const std::string outside = ArgumentOutsideCodePage();
    if (!outside.empty()) {
        std::cerr << "kavrel-host: " << outside
                  << ": the ANSI code page cannot hold this name (its characters reach the host "
                     "and the library as '?'); rename the file or folder with characters of the "
                     "code page\n";
        return 1;
    }
    if (name == "--version" || name == "-v" || name == "-V" || name == "/v" || name == "/V")
        return ShowVersion(args);
    if (name == "help" && argc >= 3) {
        // help COMMAND: the command's own help.
        name = argv[2];
        args = CArgs{"--help"};
    } else if (name == "--help" || name == "-h" || name == "/?" || name == "-?" || name == "/h" ||
               name == "/H" || name == "help") {
        std::cout << kHelp;
        return 0;
    }
    for (const CCommand& command : kCommands) {
        if (name != command.name) continue;
        try {
            return command.run(args);
        } catch (const CUsageError& e) {
            std::cerr << "kavrel-host: " << e.what() << " (see kavrel-host " << name
                      << " --help)\n";
            return 2;
        } catch (const CLibraryError& e) {
            std::cerr << "kavrel-host " << name << ": " << e.what()
                      << (GivesLibrary(args) ? "" : " (give its path with --library PATH)") << "\n";
            return 1;
        } catch (const CHostError& e) {
            std::cerr << "kavrel-host " << name << ": " << e.what() << "\n";
            return 1;
        } catch (const std::bad_alloc&) {
            std::cerr << "kavrel-host " << name << ": out of memory\n";
            return 1;
        } catch (const std::exception& e) {
            std::cerr << "kavrel-host " << name << ": " << e.what() << "\n";
            return 1;
        }
    }
    std::cerr << "kavrel-host: unknown command '" << name << "' (see kavrel-host --help)\n";
    return 2;
}

}  // namespace host

int main(int argc, char** argv) { return host::Main(argc, argv); }
