// Calibrating the LUT from densitometer readings.
#include "image/Lut.h"

void CLut::CalcFromDensiValues(const CLut&, const CWordArray&) { m_pTable.reset(); }
