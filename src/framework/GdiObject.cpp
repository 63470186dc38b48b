#include "framework/GdiObject.h"

#include "framework/DC.h"

CGdiObject::CGdiObject() : m_hObject(nullptr) {}

CGdiObject::~CGdiObject() { DeleteObject(); }

BOOL CGdiObject::Attach(HGDIOBJ h) {
    if (h == nullptr || m_hObject != nullptr) return FALSE;
    m_hObject = h;
    return TRUE;
}

HGDIOBJ CGdiObject::Detach() {
    HGDIOBJ h = m_hObject;
    m_hObject = nullptr;
    return h;
}

BOOL CGdiObject::DeleteObject() {
    if (m_hObject == nullptr) return FALSE;
    return ::DeleteObject(Detach());
}

HGDIOBJ CGdiObject::GetSafeHandle() const { return m_hObject; }

BOOL CBitmap::LoadBitmap(HINSTANCE hInst, UINT nId) {
    if (m_hObject != nullptr) return FALSE;
    return Attach(::LoadBitmapA(hInst, MAKEINTRESOURCEA(nId)));
}

BOOL CBitmap::CreateCompatibleBitmap(CDC* pDC, int cx, int cy) {
    if (m_hObject != nullptr) return FALSE;
    if (pDC != nullptr && pDC->GetSafeHdc() != nullptr)
        return Attach(::CreateCompatibleBitmap(pDC->GetSafeHdc(), cx, cy));
    // Without a DC the bitmap takes the screen's format.
    HDC hScreen = ::GetDC(nullptr);
    if (hScreen == nullptr) return FALSE;
    BOOL ok = Attach(::CreateCompatibleBitmap(hScreen, cx, cy));
    ::ReleaseDC(nullptr, hScreen);
    return ok;
}

BOOL CBitmap::CreateBitmap(int cx, int cy, UINT planes, UINT bpp, const void* bits) {
    if (m_hObject != nullptr) return FALSE;
    return Attach(::CreateBitmap(cx, cy, planes, bpp, bits));
}

int CBitmap::GetBitmap(BITMAP* pBm) const {
    if (m_hObject == nullptr || pBm == nullptr) return 0;
    return ::GetObjectA(m_hObject, sizeof(BITMAP), pBm);
}

CBitmap::operator HBITMAP() const { return static_cast<HBITMAP>(m_hObject); }

BOOL CBrush::CreateSolidBrush(COLORREF color) {
    if (m_hObject != nullptr) return FALSE;
    return Attach(::CreateSolidBrush(color));
}

CBrush::operator HBRUSH() const { return static_cast<HBRUSH>(m_hObject); }

BOOL CPen::CreatePen(int style, int width, COLORREF color) {
    if (m_hObject != nullptr) return FALSE;
    return Attach(::CreatePen(style, width, color));
}

CPen::operator HPEN() const { return static_cast<HPEN>(m_hObject); }

BOOL CFont::CreateFontIndirect(const LOGFONTA* pLogFont) {
    if (m_hObject != nullptr || pLogFont == nullptr) return FALSE;
    return Attach(::CreateFontIndirectA(pLogFont));
}

CFont::operator HFONT() const { return static_cast<HFONT>(m_hObject); }
