// Guards that a command holds while it shows frames: the interrupt handler and the open display
// are given back on every way out of the command, an error included.
#pragma once

#include "base/NonCopyable.h"
#include "library/Kavrel.h"

namespace host {

// Ctrl+C ends a showing between frames instead of the program: while the guard lives, an
// interrupt only sets a flag; the handler before it returns when the guard goes.
class CInterruptGuard : private kavrel::CNonCopyable {
public:
    CInterruptGuard();
    virtual ~CInterruptGuard();

    static bool Interrupted();

private:
    void (*m_pPrevious)(int);
};

// The library's output display, open for the life of the guard.
class COpenDisplay : private kavrel::CNonCopyable {
public:
    explicit COpenDisplay(CKavrel& kavrel) : m_Kavrel(kavrel) { m_Kavrel.OpenOutputDevice(); }
    virtual ~COpenDisplay() { m_Kavrel.CloseOutputDevice(); }

private:
    CKavrel& m_Kavrel;
};

}  // namespace host
