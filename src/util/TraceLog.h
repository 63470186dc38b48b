// The library's diagnostic channel. Lines go to a sink that discards them: the
// library writes no trace output anywhere. Tests put a sink of their own in.
#pragma once

#include <windows.h>

#include "text/StrBuf.h"

// Receives one finished trace line; the result is the write's result.
using TraceSink = StatusWord (*)(const CStrBuf& line);

class CTraceLog {
  public:
    CTraceLog();
    CTraceLog(const CTraceLog&) = delete;
    CTraceLog& operator=(const CTraceLog&) = delete;

    // Called once at library start, before the first line.
    StatusWord Open(HMODULE hModule);
    // Tracing is always on; the sink decides where lines go.
    StatusWord IsEnabled() const;
    // Writes the text as a whole line (CR LF appended).
    StatusWord WriteLine(const char* pszText);
    // Writes the text followed by a number and leaves the line open.
    StatusWord WriteNumber(const char* pszText, StatusWord nValue, int nRadix, unsigned nWidth);
    // Replaces the sink; null restores the discarding one. Returns the previous sink.
    TraceSink SetSink(TraceSink pfnSink);

  private:
    bool m_bLineEnded;    // the last write ended its line
    TraceSink m_pfnSink;  // where lines go
};

extern CTraceLog g_traceLog;
