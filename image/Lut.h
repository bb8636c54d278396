// CLut: the tone look-up table from 8-bit image values to 12-bit exposure levels, and the LUT file
// ("LUTFILE", count, lowest input, highest input, entries).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/NonCopyable.h"

class CFrame;

// The growable array of unsigned 16-bit values (densitometer readings).
using CWordArray = std::vector<uint16_t>;

class CLut : private kavrel::CNonCopyable {
public:
    CLut();
    virtual ~CLut();

    bool HasTable() const { return m_pTable != nullptr; }

    // Reads the LUT file; a file that cannot be opened, is shorter than its header promises, or
    // whose count is not 1..256 gives the default table (4095 at input 0 down to 0 at 255).
    void Load(const std::string& path);
    // Writes the LUT file, replacing the old one only when the new one is complete.
    void Save(const std::string& path) const;
    void MakeLinear(int32_t step);
    void MakeInverse(int32_t step);
    // Replaces every sample of the frame by its entry; samples outside the table stay as they are.
    void Apply(CFrame& frame) const;
    void ShowError(const std::string& text) const;
    // Builds a calibrated table from the old table and the 48 densitometer readings.
    void CalcFromDensiValues(const CLut& old, const CWordArray& readings);

    int32_t m_bShowErrors;
    int32_t m_nCount;
    std::unique_ptr<int16_t[]> m_pTable;
    int16_t m_nLastInput;
    int16_t m_nFirstInput;

private:
    // Sets the count to 256, the bounds to 0..255 and replaces the array; false when it cannot
    // be allocated (the table then has none).
    bool Allocate256();
};
