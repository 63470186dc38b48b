#include "core/ThreadEvent.h"

CThreadEvent::CThreadEvent(const char* pszName, int nMode)
    : m_hEvent(CreateEventA(nullptr, nMode != MODE_AUTO_RESET, FALSE, pszName)) {}

CThreadEvent::CThreadEvent(const CThreadEvent& source) : m_hEvent(nullptr) {
    if (source.m_hEvent == nullptr) return;
    HANDLE hDuplicate = nullptr;
    if (DuplicateHandle(GetCurrentProcess(), source.m_hEvent, GetCurrentProcess(), &hDuplicate, 0,
                        FALSE, DUPLICATE_SAME_ACCESS)) {
        m_hEvent = hDuplicate;
    }
}

CThreadEvent::~CThreadEvent() {
    if (m_hEvent != nullptr) CloseHandle(m_hEvent);
}

DWORD CThreadEvent::Set() {
    if (m_hEvent == nullptr) return RESULT_NO_OBJECT;
    return SetEvent(m_hEvent) ? RESULT_OK : RESULT_FAIL;
}

DWORD CThreadEvent::Wait(DWORD nMilliseconds) {
    return WaitForSingleObject(m_hEvent, nMilliseconds) == WAIT_OBJECT_0 ? RESULT_OK : RESULT_FAIL;
}

bool CThreadEvent::Reset() { return m_hEvent != nullptr && ResetEvent(m_hEvent); }
