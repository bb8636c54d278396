// The host's commands. Each takes the arguments after its name, prints its report on standard
// output and returns the exit status; failures are thrown as CHostError or CUsageError.
#pragma once

#include <string>
#include <vector>

namespace host {

using CArgs = std::vector<std::string>;

int RunExpose(const CArgs& args);
int RunCalcLut(const CArgs& args);
int RunCalcOffset(const CArgs& args);
int RunTargets(const CArgs& args);
int RunSampleImage(const CArgs& args);
int RunShow(const CArgs& args);
int RunCheckDisplay(const CArgs& args);
int RunDisplays(const CArgs& args);

// Shared by the commands.
// expose's checks of its files: a 2560 x 2048 24-bit bitmap stored bottom-up and complete, a LUT
// file the library takes, an offset map of the display's size. Each throws CHostError naming the
// file.
void CheckImage(const std::string& path);
void CheckLut(const std::string& lut);
void CheckOffset(const std::string& offset);
// A display device name (not a file display) that names a display the library can draw on in a
// mode that shows the packed values unchanged; throws CHostError saying why not.
void RequireNativeDisplay(const std::string& device);
// Why the device name names no such display, in a few words to follow the name; empty when it
// names one.
std::string NativeDisplayProblem(const std::string& device);
int RunHistory(const CArgs& args);
int RunRestore(const CArgs& args);

// Shared by the commands.
// Throws CHostError when path names a folder, a FIFO, a device or anything else that is no
// regular file; nothing when it names a regular file or nothing.
void RefuseSpecialFile(const std::string& path, const std::string& what);
// A file that must exist, for the option or argument that names it.
void RequireFile(const std::string& path, const std::string& what);
// A file the library is to write: its folder must exist.
void RequireFolderOf(const std::string& path, const std::string& what);
// A file the host writes in one format: a name with another extension is refused, so that a
// picture is never written under a name that promises another format.
void RequireExtension(const std::string& path, const std::string& extension,
                      const std::string& what);
// "12.3"
std::string Milliseconds(double seconds);
const char* ColourName(int colour);
const char* PositionName(int position);

}  // namespace host
