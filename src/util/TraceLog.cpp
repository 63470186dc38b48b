#include "util/TraceLog.h"

#include "core/InitOrder.h"

namespace {

// The library's sink: the library writes no trace output anywhere.
StatusWord DiscardLine(const CStrBuf&) { return 0; }

}  // namespace

CTraceLog g_traceLog VEL_SERVICE_INIT;

CTraceLog::CTraceLog() : m_bLineEnded(true), m_pfnSink(DiscardLine) {}

StatusWord CTraceLog::Open(HMODULE) { return ST_OK; }

StatusWord CTraceLog::IsEnabled() const { return ST_OK; }

StatusWord CTraceLog::WriteLine(const char* pszText) {
    if (IsEnabled() != ST_OK) return ST_E_FAIL;
    CStrBuf line;
    if (pszText != nullptr) line.Append(pszText);
    line.Append("\r\n");
    m_bLineEnded = true;
    return m_pfnSink(line);
}

StatusWord CTraceLog::WriteNumber(const char* pszText, StatusWord nValue, int nRadix,
                                  unsigned nWidth) {
    if (IsEnabled() != ST_OK) return ST_E_FAIL;
    CStrBuf line;
    if (pszText != nullptr) line.Append(pszText);
    CStrBuf number;
    number.FromInteger(nValue, nRadix, nWidth);
    line.Append(number);
    m_bLineEnded = false;
    return m_pfnSink(line);
}

TraceSink CTraceLog::SetSink(TraceSink pfnSink) {
    TraceSink pfnPrevious = m_pfnSink;
    m_pfnSink = pfnSink != nullptr ? pfnSink : DiscardLine;
    return pfnPrevious;
}
