// Owner of a kernel object handle (thread, event, process): closed with CloseHandle at the
// end of its lifetime. Ownership moves; it is never copied.
#pragma once

#include <windows.h>

class CKernelHandle {
  public:
    // Owns no handle.
    CKernelHandle() : m_hHandle(nullptr) {}
    // Takes ownership of a handle (null for none).
    explicit CKernelHandle(HANDLE hHandle) : m_hHandle(hHandle) {}
    ~CKernelHandle() { Reset(); }
    CKernelHandle(const CKernelHandle&) = delete;
    CKernelHandle& operator=(const CKernelHandle&) = delete;
    CKernelHandle(CKernelHandle&& other) noexcept : m_hHandle(other.m_hHandle) {
        other.m_hHandle = nullptr;
    }
    CKernelHandle& operator=(CKernelHandle&& other) noexcept {
        if (this != &other) {
            Reset(other.m_hHandle);
            other.m_hHandle = nullptr;
        }
        return *this;
    }

    // The owned handle, or null.
    HANDLE Get() const { return m_hHandle; }
    // Closes the owned handle (if any) and takes ownership of another.
    void Reset(HANDLE hHandle = nullptr) {
        if (m_hHandle != nullptr && m_hHandle != hHandle) ::CloseHandle(m_hHandle);
        m_hHandle = hHandle;
    }

  private:
    HANDLE m_hHandle;  // the owned handle, or null
};
