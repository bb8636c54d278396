// The files an engine works with, and the consistency every engine state must have, for tests
// that make operations fail.
#pragma once

#include <string>
#include <vector>

#include "support/TestFiles.h"

class CFrameEngine;

namespace testing_support {

// A folder with a LUT file, an offset file of the nominal 1280 x 1024 (the old map of the offset
// calculation) and a scan that the calculation can measure, written anew for every object, and an
// image of 64 x 48 (frames of 32 x 24) that the library only reads, written once for all. Frames
// of the nominal size would only make every run slower: no allocation depends on their size.
class Workspace {
public:
    Workspace();
    // The paths are made once, so that using them allocates nothing.
    const std::string& Image() const { return m_image; }
    const std::string& Lut() const { return m_lutPath; }
    const std::string& Offsets() const { return m_offsetsPath; }
    const std::string& Scan() const { return m_scan; }
    const std::string& Missing() const { return m_missing; }
    // The output display's device name: a file display whose picture goes to Shown().
    const std::string& DisplayName() const { return m_displayName; }
    const std::string& Shown() const { return m_shown; }
    const std::vector<uint8_t>& OldLut() const { return m_lut; }
    const std::vector<uint8_t>& OldOffsets() const { return m_offsets; }
    std::vector<std::string> Files() const { return m_dir.Files(); }

    // Sets the engine up as a host does: every file loaded, the readings set, frame 0 computed,
    // and with display the file display opened.
    void Prepare(CFrameEngine& engine, bool display = false) const;

    // The folder holds the files it held before, and besides them at most the display's picture,
    // which is then a complete 1280 x 1024 bitmap.
    void ExpectFilesAsBefore(const std::vector<std::string>& before) const;

private:
    TempDir m_dir;
    const std::string m_image;
    const std::string m_lutPath = m_dir.Path("table.lut");
    const std::string m_offsetsPath = m_dir.Path("offsets.frm");
    const std::string m_scan = m_dir.Path("scan.bmp");
    const std::string m_missing = m_dir.Path("missing");
    const std::string m_shown = m_dir.Path("shown.bmp");
    const std::string m_displayName = "file:" + m_shown;
    std::vector<uint8_t> m_lut;
    std::vector<uint8_t> m_offsets;
};

// Every plane has m_nCount == m_nRows * m_nCols and, with data, a buffer of m_nCount samples
// (all of them are read, so a shorter one shows under the address sanitizer); a table has 1..256
// entries.
void ExpectConsistent(const CFrameEngine& engine);

}  // namespace testing_support
