#include "framework/DC.h"

CDC::CDC() : m_hDC(nullptr), m_bOwned(false) {}

CDC::~CDC() {
    if (m_bOwned && m_hDC != nullptr) ::DeleteDC(m_hDC);
}

BOOL CDC::CreateCompatibleDC(CDC* pDC) {
    if (m_hDC != nullptr) return FALSE;
    m_hDC = ::CreateCompatibleDC(pDC != nullptr ? pDC->GetSafeHdc() : nullptr);
    m_bOwned = m_hDC != nullptr;
    return m_bOwned ? TRUE : FALSE;
}

BOOL CDC::Attach(HDC hDC) {
    if (hDC == nullptr || m_hDC != nullptr) return FALSE;
    m_hDC = hDC;
    m_bOwned = false;
    return TRUE;
}

HDC CDC::Detach() {
    HDC h = m_hDC;
    m_hDC = nullptr;
    m_bOwned = false;
    return h;
}

HDC CDC::GetSafeHdc() const { return m_hDC; }

void CDC::FillSolidRect(const RECT& rect, COLORREF color) {
    COLORREF old = ::SetBkColor(m_hDC, color);
    ::ExtTextOutA(m_hDC, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
    ::SetBkColor(m_hDC, old);
}

BOOL CDC::BitBlt(int x, int y, int cx, int cy, CDC* pSrc, int xSrc, int ySrc, DWORD rop) {
    return ::BitBlt(m_hDC, x, y, cx, cy, pSrc != nullptr ? pSrc->GetSafeHdc() : nullptr, xSrc, ySrc,
                    rop);
}

BOOL CDC::StretchBlt(int x, int y, int cx, int cy, CDC* pSrc, int xSrc, int ySrc, int cxSrc,
                     int cySrc, DWORD rop) {
    return ::StretchBlt(m_hDC, x, y, cx, cy, pSrc != nullptr ? pSrc->GetSafeHdc() : nullptr, xSrc,
                        ySrc, cxSrc, cySrc, rop);
}

COLORREF CDC::SetTextColor(COLORREF color) { return ::SetTextColor(m_hDC, color); }

COLORREF CDC::SetBkColor(COLORREF color) { return ::SetBkColor(m_hDC, color); }

int CDC::SetBkMode(int mode) { return ::SetBkMode(m_hDC, mode); }

int CDC::SetStretchBltMode(int mode) { return ::SetStretchBltMode(m_hDC, mode); }

int CDC::DrawText(const char* text, int count, RECT* pRect, UINT format) {
    if (text == nullptr || pRect == nullptr) return 0;
    return ::DrawTextA(m_hDC, text, count, pRect, format);
}

BOOL CDC::TextOut(int x, int y, const char* text, int count) {
    if (text == nullptr) return FALSE;
    return ::TextOutA(m_hDC, x, y, text, count);
}

SIZE CDC::GetTextExtent(const char* text, int count) const {
    SIZE size = {0, 0};
    if (text != nullptr && !::GetTextExtentPoint32A(m_hDC, text, count, &size)) size = {0, 0};
    return size;
}

POINT CDC::MoveTo(int x, int y) {
    POINT old = {0, 0};
    ::MoveToEx(m_hDC, x, y, &old);
    return old;
}

BOOL CDC::LineTo(int x, int y) { return ::LineTo(m_hDC, x, y); }

COLORREF CDC::SetPixel(int x, int y, COLORREF color) { return ::SetPixel(m_hDC, x, y, color); }

COLORREF CDC::GetPixel(int x, int y) const { return ::GetPixel(m_hDC, x, y); }

int CDC::GetDeviceCaps(int index) const { return ::GetDeviceCaps(m_hDC, index); }

BOOL CDC::DrawIcon(int x, int y, HICON hIcon) { return ::DrawIcon(m_hDC, x, y, hIcon); }

BOOL CDC::DrawIconEx(int x, int y, HICON hIcon, int cx, int cy, UINT flags) {
    return ::DrawIconEx(m_hDC, x, y, hIcon, cx, cy, 0, nullptr, flags);
}

BOOL CDC::DrawFrameControl(RECT* pRect, UINT type, UINT state) {
    return ::DrawFrameControl(m_hDC, pRect, type, state);
}

BOOL CDC::DrawState(int x, int y, int cx, int cy, HGDIOBJ image, UINT flags, HBRUSH hBrush) {
    return ::DrawStateA(m_hDC, hBrush, nullptr, reinterpret_cast<LPARAM>(image), 0, x, y, cx, cy,
                        flags);
}

void CDC::FillRect(const RECT& rect, HBRUSH hBrush) { ::FillRect(m_hDC, &rect, hBrush); }

CClientDC::CClientDC(HWND hWnd) : m_hWnd(hWnd) { Attach(::GetDC(hWnd)); }

CClientDC::~CClientDC() {
    HDC h = Detach();
    if (h != nullptr) ::ReleaseDC(m_hWnd, h);
}

CWindowDC::CWindowDC(HWND hWnd) : m_hWnd(hWnd) { Attach(::GetWindowDC(hWnd)); }

CWindowDC::~CWindowDC() {
    HDC h = Detach();
    if (h != nullptr) ::ReleaseDC(m_hWnd, h);
}

CPaintDC::CPaintDC(HWND hWnd) : m_ps(), m_hWnd(hWnd) { Attach(::BeginPaint(hWnd, &m_ps)); }

CPaintDC::~CPaintDC() {
    // EndPaint is due after every BeginPaint, even one that gave no DC.
    Detach();
    ::EndPaint(m_hWnd, &m_ps);
}

CSelectObject::CSelectObject(CDC& dc, HGDIOBJ h)
    : m_hDC(dc.GetSafeHdc()),
      m_hOld(m_hDC != nullptr && h != nullptr ? ::SelectObject(m_hDC, h) : nullptr) {
    // SelectObject reports a failure as HGDI_ERROR for regions; nothing to restore then.
    if (m_hOld == HGDI_ERROR) m_hOld = nullptr;
}

CSelectObject::~CSelectObject() {
    if (m_hOld != nullptr) ::SelectObject(m_hDC, m_hOld);
}

HGDIOBJ CSelectObject::GetOld() const { return m_hOld; }

DWORD PixelOf(COLORREF cr) {
    return (static_cast<DWORD>(GetRValue(cr)) << 16) | (static_cast<DWORD>(GetGValue(cr)) << 8) |
           GetBValue(cr);
}

BITMAPINFO TopDownInfo32(int nWidth, int nHeight) {
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
    bmi.bmiHeader.biWidth = nWidth;
    bmi.bmiHeader.biHeight = -nHeight;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    return bmi;
}
