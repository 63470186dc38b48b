// Owners of GDI objects. Each wrapper owns at most one handle and deletes it when
// it goes away, so a pen, brush, font, bitmap or region is freed on every path.
#pragma once

#include <windows.h>

class CDC;

// Owns one GDI object of any kind.
class CGdiObject {
  public:
    // Owns nothing yet.
    CGdiObject();
    // Deletes the owned object, if any.
    virtual ~CGdiObject();
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;

    // Takes ownership of an object; fails when the wrapper already owns one or h is null.
    BOOL Attach(HGDIOBJ h);
    // Gives up ownership without deleting the object; the caller owns it afterwards.
    HGDIOBJ Detach();
    // Deletes the owned object now; FALSE when there was none or GDI refused.
    BOOL DeleteObject();
    // The owned object, or null.
    HGDIOBJ GetSafeHandle() const;

    HGDIOBJ m_hObject;  // the owned object, or null
};

// Owns a bitmap.
class CBitmap : public CGdiObject {
  public:
    // Loads a bitmap resource of a module.
    BOOL LoadBitmap(HINSTANCE hInst, UINT nId);
    // Makes a bitmap that matches the DC's format (the screen's for a null DC).
    BOOL CreateCompatibleBitmap(CDC* pDC, int cx, int cy);
    // Makes a device-dependent bitmap from raw bits (bits may be null).
    BOOL CreateBitmap(int cx, int cy, UINT planes, UINT bpp, const void* bits);
    // Fills in the bitmap's description; returns the bytes written, 0 on failure.
    int GetBitmap(BITMAP* pBm) const;
    // The owned bitmap, or null.
    operator HBITMAP() const;
};

// Owns a brush.
class CBrush : public CGdiObject {
  public:
    // Makes a solid brush of one colour.
    BOOL CreateSolidBrush(COLORREF color);
    // The owned brush, or null.
    operator HBRUSH() const;
};

// Owns a pen.
class CPen : public CGdiObject {
  public:
    // Makes a cosmetic pen.
    BOOL CreatePen(int style, int width, COLORREF color);
    // The owned pen, or null.
    operator HPEN() const;
};

// Owns a font.
class CFont : public CGdiObject {
  public:
    // Makes a font from a description.
    BOOL CreateFontIndirect(const LOGFONTA* pLogFont);
    // The owned font, or null.
    operator HFONT() const;
};
