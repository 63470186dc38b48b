// The GDI owners: objects freed by their owner unless detached, selections undone, owned
// device contexts deleted and borrowed ones left alone, icons destroyed only when owned.
#include <gtest/gtest.h>
#include <windows.h>

#include "framework/DC.h"
#include "framework/GdiObject.h"
#include "framework/IconHandle.h"

namespace {

// True while h names a GDI object that still exists.
bool IsLiveObject(HGDIOBJ h) { return GetObjectType(h) != 0; }

// True while the icon exists.
bool IsLiveIcon(HICON hIcon) {
    ICONINFO info = {};
    if (!GetIconInfo(hIcon, &info)) return false;
    DeleteObject(info.hbmMask);
    DeleteObject(info.hbmColor);
    return true;
}

}  // namespace

TEST(Gdi, OwnersFreeTheirObjectsAndDetachHandsThemOver) {
    HGDIOBJ deleted = nullptr;
    {
        CBrush brush;
        ASSERT_TRUE(brush.CreateSolidBrush(RGB(1, 2, 3)));
        EXPECT_FALSE(brush.CreateSolidBrush(RGB(4, 5, 6)));  // never silently replaced
        deleted = brush.GetSafeHandle();
    }
    EXPECT_FALSE(IsLiveObject(deleted));

    HPEN kept = nullptr;
    {
        CPen pen;
        ASSERT_TRUE(pen.CreatePen(PS_SOLID, 1, RGB(0, 0, 0)));
        kept = static_cast<HPEN>(pen.Detach());
        EXPECT_FALSE(pen.DeleteObject());
    }
    EXPECT_TRUE(IsLiveObject(kept));
    DeleteObject(kept);

    // Without a description or a resource there is nothing to own.
    CFont font;
    EXPECT_FALSE(font.CreateFontIndirect(nullptr));
    EXPECT_EQ(font.GetSafeHandle(), nullptr);
    CBitmap missing;
    EXPECT_FALSE(missing.LoadBitmap(GetModuleHandleA(nullptr), 65000));
    BITMAP bm;
    EXPECT_EQ(missing.GetBitmap(&bm), 0);
}

TEST(Gdi, SelectionIsRestoredAndOwnedDcsAreDeleted) {
    CBitmap bitmap;
    ASSERT_TRUE(bitmap.CreateCompatibleBitmap(nullptr, 4, 3));
    BITMAP bm = {};
    ASSERT_NE(bitmap.GetBitmap(&bm), 0);
    EXPECT_EQ(bm.bmWidth, 4);
    EXPECT_EQ(bm.bmHeight, 3);

    HDC memHdc = nullptr;
    {
        CDC dc;
        ASSERT_TRUE(dc.CreateCompatibleDC(nullptr));
        memHdc = dc.GetSafeHdc();
        const HGDIOBJ original = GetCurrentObject(memHdc, OBJ_BITMAP);
        {
            CSelectObject select(dc, bitmap);
            EXPECT_EQ(select.GetOld(), original);
            dc.FillSolidRect(RECT{0, 0, 4, 3}, RGB(10, 20, 30));
            dc.SetPixel(1, 1, RGB(200, 100, 50));
            // A stretched copy into a second memory DC reads back the same pixels.
            CBitmap copy;
            ASSERT_TRUE(copy.CreateCompatibleBitmap(&dc, 4, 3));
            CDC target;
            ASSERT_TRUE(target.CreateCompatibleDC(&dc));
            CSelectObject selectCopy(target, copy);
            ASSERT_TRUE(target.StretchBlt(0, 0, 4, 3, &dc, 0, 0, 2, 2, SRCCOPY));
            EXPECT_EQ(target.GetPixel(2, 2), RGB(200, 100, 50));
            EXPECT_EQ(target.GetPixel(0, 0), RGB(10, 20, 30));
        }
        EXPECT_EQ(GetCurrentObject(memHdc, OBJ_BITMAP), original);
    }
    EXPECT_FALSE(IsLiveObject(memHdc));
    EXPECT_TRUE(IsLiveObject(bitmap.GetSafeHandle()));

    // A borrowed DC survives its wrapper.
    const HDC screen = GetDC(nullptr);
    {
        CDC borrowed;
        ASSERT_TRUE(borrowed.Attach(screen));
        EXPECT_FALSE(borrowed.Attach(screen));
        EXPECT_GT(borrowed.GetDeviceCaps(BITSPIXEL), 0);
    }
    EXPECT_TRUE(IsLiveObject(screen));
    ReleaseDC(nullptr, screen);
}

TEST(Gdi, IconHandleDestroysOnlyWhatItOwns) {
    BYTE andMask[32 * 4];
    BYTE xorMask[32 * 4] = {};
    memset(andMask, 0xFF, sizeof andMask);
    const HICON made = CreateIcon(GetModuleHandleA(nullptr), 32, 32, 1, 1, andMask, xorMask);
    const HICON second = CopyIcon(made);
    ASSERT_NE(second, nullptr);
    {
        CIconHandle owner(made);
        CIconHandle moved(std::move(owner));
        EXPECT_EQ(owner.Get(), nullptr);
        EXPECT_TRUE(IsLiveIcon(made));
        moved.Reset(second);  // destroys the first icon
        EXPECT_FALSE(IsLiveIcon(made));
        EXPECT_EQ(moved.Detach(), second);
    }
    EXPECT_TRUE(IsLiveIcon(second));
    DestroyIcon(second);
}
