// Owner of an icon the library made itself (CreateIcon, CreateIconIndirect, CopyImage,
// LoadImage without LR_SHARED). Icons from LoadIcon are shared by the system and must
// never be destroyed, so they are never put in a CIconHandle.
#pragma once

#include <windows.h>

// Owns one icon and destroys it at the end of its lifetime.
class CIconHandle {
  public:
    // Owns no icon.
    CIconHandle() : m_hIcon(nullptr) {}
    // Takes ownership of an icon (may be null).
    explicit CIconHandle(HICON hIcon) : m_hIcon(hIcon) {}
    // Destroys the owned icon.
    ~CIconHandle() { Reset(); }
    CIconHandle(const CIconHandle&) = delete;
    CIconHandle& operator=(const CIconHandle&) = delete;
    // Ownership moves; the source is left empty.
    CIconHandle(CIconHandle&& other) noexcept : m_hIcon(other.Detach()) {}
    // Destroys the owned icon and takes over the other's.
    CIconHandle& operator=(CIconHandle&& other) noexcept {
        if (this != &other) Reset(other.Detach());
        return *this;
    }

    // The owned icon, or null.
    HICON Get() const { return m_hIcon; }
    // Destroys the owned icon (if any) and takes ownership of another.
    void Reset(HICON hIcon = nullptr) {
        if (m_hIcon != nullptr && m_hIcon != hIcon) ::DestroyIcon(m_hIcon);
        m_hIcon = hIcon;
    }
    // Gives up ownership; the caller owns the icon afterwards.
    HICON Detach() {
        HICON h = m_hIcon;
        m_hIcon = nullptr;
        return h;
    }

  private:
    HICON m_hIcon;  // the owned icon, or null
};
