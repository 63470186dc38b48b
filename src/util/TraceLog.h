// The library's diagnostic channel. Lines go to a sink that discards them: the
// library writes no trace output anywhere. Tests put a sink of their own in.
#pragma once

#include <windows.h>

#include "text/StrBuf.h"

// Receives one finished trace line; the result is the write's result.
using TraceSink = StatusWord (*)(const CStrBuf& line);

class CTraceLog {
  public:
    // No line open, lines discarded.
    CTraceLog();
    CTraceLog(const CTraceLog&) = delete;
    CTraceLog& operator=(const CTraceLog&) = delete;

    // Called once at library start, before the first line.
    StatusWord Open(HMODULE hModule);
    // Tracing is always on; the sink decides where lines go.
    StatusWord IsEnabled() const;
    // Writes the text as a whole line (CR LF appended). The sink's result, or ST_E_FAIL when
    // tracing is off.
    StatusWord WriteLine(const char* pszText);
    // Writes the text followed by the number in the radix, zero-padded to the width, and leaves
    // the line open. The text is written as it stands: it is not a format. The sink's result,
    // or ST_E_FAIL when tracing is off.
    StatusWord WriteNumber(const char* pszText, StatusWord nValue, int nRadix, unsigned nWidth);
    // Replaces the sink; null restores the discarding one. Returns the previous sink.
    TraceSink SetSink(TraceSink pfnSink);
    // True after a write that ended its line, false after one that left it open.
    bool IsLineEnded() const { return m_bLineEnded; }

  private:
    bool m_bLineEnded;    // the last write ended its line
    TraceSink m_pfnSink;  // where lines go
};

extern CTraceLog g_traceLog;
