// The one shape of a handle owner: a handle of the platform released by its kind's own call at
// the end of the owner's lifetime. Ownership moves; it is never copied. Each kind of handle
// names its owner (CKernelHandle, CIconHandle, CModuleHandle) with the call that releases it.
#pragma once

#include <windows.h>

template <typename THandle, BOOL(WINAPI* pfnRelease)(THandle)>
class COwnedHandle {
  public:
    // Owns no handle.
    COwnedHandle() : m_hHandle(nullptr) {}
    // Takes ownership of a handle (null for none).
    explicit COwnedHandle(THandle hHandle) : m_hHandle(hHandle) {}
    // Releases the owned handle.
    ~COwnedHandle() { Reset(); }
    COwnedHandle(const COwnedHandle&) = delete;
    COwnedHandle& operator=(const COwnedHandle&) = delete;
    // Ownership moves; the source is left empty.
    COwnedHandle(COwnedHandle&& other) noexcept : m_hHandle(other.Detach()) {}
    // Releases the owned handle and takes over the other's.
    COwnedHandle& operator=(COwnedHandle&& other) noexcept {
        if (this != &other) Reset(other.Detach());
        return *this;
    }

    // The owned handle, or null.
    THandle Get() const { return m_hHandle; }
    // Releases the owned handle (if any) and takes ownership of another.
    void Reset(THandle hHandle = nullptr) {
        if (m_hHandle != nullptr && m_hHandle != hHandle) pfnRelease(m_hHandle);
        m_hHandle = hHandle;
    }
    // Gives up ownership; the caller owns the handle afterwards.
    THandle Detach() {
        THandle hHandle = m_hHandle;
        m_hHandle = nullptr;
        return hHandle;
    }

  private:
    THandle m_hHandle;  // the owned handle, or null
};
