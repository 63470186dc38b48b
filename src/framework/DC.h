// Device contexts. A CDC made by CreateCompatibleDC owns its DC and deletes it; one
// bound by Attach borrows it and leaves it alone. The window DC classes fetch and
// give back their DC themselves.
#pragma once

#include <windows.h>

// The description of a top-down 32-bit DIB of the size, for reading and writing pixels
// in memory (GetDIBits, SetDIBits, SetDIBitsToDevice).
BITMAPINFO TopDownInfo32(int nWidth, int nHeight);
// A colour as a pixel of such a DIB: 0x00RRGGBB, where a COLORREF holds 0x00BBGGRR.
DWORD PixelOf(COLORREF cr);

// A device context with the drawing calls the library uses.
class CDC {
  public:
    // Holds no DC yet.
    CDC();
    // Deletes the DC if the wrapper made it; a borrowed one is left alone.
    virtual ~CDC();
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    // Makes an owned memory DC compatible with pDC (with the screen for null).
    BOOL CreateCompatibleDC(CDC* pDC);
    // Borrows a DC; fails when the wrapper already holds one or hDC is null.
    BOOL Attach(HDC hDC);
    // Lets go of the DC without deleting it; the caller is responsible for it afterwards.
    HDC Detach();
    // The DC, or null.
    HDC GetSafeHdc() const;

    // Fills a rectangle with one colour (keeps the background colour as it was).
    void FillSolidRect(const RECT& rect, COLORREF color);
    // Copies a block of pixels from another DC.
    BOOL BitBlt(int x, int y, int cx, int cy, CDC* pSrc, int xSrc, int ySrc, DWORD rop);
    // Copies a block of pixels from another DC, scaled to the destination size.
    BOOL StretchBlt(int x, int y, int cx, int cy, CDC* pSrc, int xSrc, int ySrc, int cxSrc,
                    int cySrc, DWORD rop);
    // Sets the text colour; returns the previous one.
    COLORREF SetTextColor(COLORREF color);
    // Sets the background colour; returns the previous one.
    COLORREF SetBkColor(COLORREF color);
    // Sets the background mode (OPAQUE or TRANSPARENT); returns the previous one.
    int SetBkMode(int mode);
    // Sets the stretching mode; returns the previous one.
    int SetStretchBltMode(int mode);
    // Draws formatted text; returns the text height, 0 on failure.
    int DrawText(const char* text, int count, RECT* pRect, UINT format);
    // Writes a text at a point.
    BOOL TextOut(int x, int y, const char* text, int count);
    // The size of a text in the current font (0,0 on failure).
    SIZE GetTextExtent(const char* text, int count) const;
    // Moves the current position; returns the previous one.
    POINT MoveTo(int x, int y);
    // Draws a line from the current position.
    BOOL LineTo(int x, int y);
    // Sets one pixel; returns the colour actually set.
    COLORREF SetPixel(int x, int y, COLORREF color);
    // Reads one pixel (CLR_INVALID outside the clip region).
    COLORREF GetPixel(int x, int y) const;
    // A device capability such as BITSPIXEL or LOGPIXELSY.
    int GetDeviceCaps(int index) const;
    // Draws an icon at its natural size.
    BOOL DrawIcon(int x, int y, HICON hIcon);
    // Draws an icon at a size with DrawIconEx flags.
    BOOL DrawIconEx(int x, int y, HICON hIcon, int cx, int cy, UINT flags);
    // Draws a frame control (check mark, arrow, button face...).
    BOOL DrawFrameControl(RECT* pRect, UINT type, UINT state);
    // Draws an image (bitmap, icon or text) with a state effect such as disabled.
    BOOL DrawState(int x, int y, int cx, int cy, HGDIOBJ image, UINT flags, HBRUSH hBrush);
    // Fills a rectangle with a brush.
    void FillRect(const RECT& rect, HBRUSH hBrush);

    HDC m_hDC;  // the DC, or null

  protected:
    bool m_bOwned;  // true when the wrapper made the DC and must delete it
};

// The client area's DC of a window for the lifetime of the object.
class CClientDC : public CDC {
  public:
    // Fetches the client DC (GetSafeHdc is null when that failed).
    explicit CClientDC(HWND hWnd);
    // Gives the DC back.
    ~CClientDC() override;

  private:
    HWND m_hWnd;  // the window whose DC is held
};

// The whole window's DC (frame included) for the lifetime of the object.
class CWindowDC : public CDC {
  public:
    // Fetches the window DC (GetSafeHdc is null when that failed).
    explicit CWindowDC(HWND hWnd);
    // Gives the DC back.
    ~CWindowDC() override;

  private:
    HWND m_hWnd;  // the window whose DC is held
};

// The paint DC of a WM_PAINT message: BeginPaint at construction, EndPaint at destruction.
class CPaintDC : public CDC {
  public:
    // Begins painting the window.
    explicit CPaintDC(HWND hWnd);
    // Ends painting.
    ~CPaintDC() override;

    PAINTSTRUCT m_ps;  // what BeginPaint reported

  private:
    HWND m_hWnd;  // the window being painted
};

// Selects a GDI object into a DC for one scope and restores the previous one on every
// way out of it, so an owned object is never deleted while still selected.
class CSelectObject {
  public:
    // Selects h into the DC (nothing happens for a null object or DC).
    CSelectObject(CDC& dc, HGDIOBJ h);
    // Selects the previous object back.
    ~CSelectObject();
    CSelectObject(const CSelectObject&) = delete;
    CSelectObject& operator=(const CSelectObject&) = delete;

    // The object that was selected before (null when the selection failed).
    HGDIOBJ GetOld() const;

  private:
    HDC m_hDC;       // the DC the object was selected into
    HGDIOBJ m_hOld;  // what to select back
};
