// The host's commands. Each takes the arguments after its name, prints its report on standard
// output and returns the exit status; failures are thrown as CHostError or CUsageError.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace host {

class CArguments;
struct COption;
struct CPhotoOptions;

using CArgs = std::vector<std::string>;

int RunExpose(const CArgs& args);
int RunCalcLut(const CArgs& args);
int RunCalcOffset(const CArgs& args);
int RunTargets(const CArgs& args);
int RunSampleImage(const CArgs& args);
int RunShow(const CArgs& args);
int RunCheckDisplay(const CArgs& args);
int RunDisplays(const CArgs& args);
int RunHistory(const CArgs& args);
int RunRestore(const CArgs& args);
int RunPrepare(const CArgs& args);

// Shared by the commands.
// "12.3"
std::string Milliseconds(double seconds);
const char* ColourName(int colour);
const char* PositionName(int position);
// --lut, with lutHelp, and a colour paper's --lut-blue, --lut-green and --lut-red, each with the
// help that colourHelp gives for its colour (0 blue, 1 green, 2 red).
std::vector<COption> LutOptions(const std::string& lutHelp,
                                const std::function<std::string(int colour)>& colourHelp);
// The options that place a photo in the frame (expose and prepare), and their values.
std::vector<COption> PhotoOptionsHelp();
CPhotoOptions ReadPhotoOptions(const CArguments& arguments);

}  // namespace host
