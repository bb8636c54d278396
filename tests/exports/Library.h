// The library as a host loads it: by name at run time, through the host's loader. Every test of a
// run shares its one engine, as the calls of one host would.
#pragma once

#include "library/Kavrel.h"

inline host::CKavrel& Library() {
    static host::CKavrel kavrel(KAVREL_LIBRARY_PATH);
    return kavrel;
}
