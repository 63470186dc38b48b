// The GDI owners: objects freed by their owner unless detached, selections undone, owned device
// contexts deleted and borrowed ones left alone, icons destroyed only when owned.
#include <gtest/gtest.h>
#include <windows.h>

#include "framework/DC.h"
#include "framework/GdiObject.h"
#include "framework/IconHandle.h"

TEST(Gdi, OwnersFreeWhatTheyOwnAndNothingElse) {
    HGDIOBJ hDeleted = nullptr, hKept = nullptr;
    HDC hMemory = nullptr;
    const HDC hScreen = GetDC(nullptr);
    {
        CBrush brush;
        ASSERT_TRUE(brush.CreateSolidBrush(RGB(1, 2, 3)));
        EXPECT_FALSE(brush.CreateSolidBrush(RGB(4, 5, 6)));  // never silently replaced
        hDeleted = brush.GetSafeHandle();
        CPen pen;
        ASSERT_TRUE(pen.CreatePen(PS_SOLID, 1, RGB(0, 0, 0)));
        hKept = pen.Detach();
        EXPECT_FALSE(pen.DeleteObject());
        // Without a description or a resource there is nothing to own.
        CFont font;
        CBitmap missing;
        BITMAP bm;
        EXPECT_FALSE(font.CreateFontIndirect(nullptr) || font.GetSafeHandle() != nullptr);
        EXPECT_FALSE(missing.LoadBitmap(GetModuleHandleA(nullptr), 65000));
        EXPECT_EQ(missing.GetBitmap(&bm), 0);
        // A selection is undone by its owner; a stretched copy reads back the same pixels.
        CBitmap bitmap, copy;
        CDC dc, target, borrowed;
        ASSERT_TRUE(bitmap.CreateCompatibleBitmap(nullptr, 4, 3) && bitmap.GetBitmap(&bm) != 0);
        EXPECT_EQ(bm.bmWidth * 10 + bm.bmHeight, 43);
        ASSERT_TRUE(dc.CreateCompatibleDC(nullptr));
        hMemory = dc.GetSafeHdc();
        const HGDIOBJ hOriginal = GetCurrentObject(hMemory, OBJ_BITMAP);
        {
            CSelectObject select(dc, bitmap);
            EXPECT_EQ(select.GetOld(), hOriginal);
            dc.FillSolidRect(RECT{0, 0, 4, 3}, RGB(10, 20, 30));
            dc.SetPixel(1, 1, RGB(200, 100, 50));
            ASSERT_TRUE(copy.CreateCompatibleBitmap(&dc, 4, 3) && target.CreateCompatibleDC(&dc));
            CSelectObject selectCopy(target, copy);
            ASSERT_TRUE(target.StretchBlt(0, 0, 4, 3, &dc, 0, 0, 2, 2, SRCCOPY));
            EXPECT_EQ(target.GetPixel(2, 2), RGB(200, 100, 50));
            EXPECT_EQ(target.GetPixel(0, 0), RGB(10, 20, 30));
        }
        EXPECT_EQ(GetCurrentObject(hMemory, OBJ_BITMAP), hOriginal);
        // A borrowed DC survives its wrapper.
        ASSERT_TRUE(borrowed.Attach(hScreen));
        EXPECT_FALSE(borrowed.Attach(hScreen));
        EXPECT_GT(borrowed.GetDeviceCaps(BITSPIXEL), 0);
    }
    EXPECT_EQ(GetObjectType(hDeleted) | GetObjectType(hMemory), 0u);
    EXPECT_NE(GetObjectType(hKept) * GetObjectType(hScreen), 0u);
    DeleteObject(hKept);
    ReleaseDC(nullptr, hScreen);
}

TEST(Gdi, IconOwnersDestroyOnlyWhatTheyOwn) {
    const auto isLive = [](HICON hIcon) {
        ICONINFO info = {};
        const bool bLive = GetIconInfo(hIcon, &info) != FALSE;
        DeleteObject(info.hbmMask);
        DeleteObject(info.hbmColor);
        return bLive;
    };
    // A moved owner owns nothing; Reset destroys the old icon, Detach hands it over.
    BYTE andMask[32 * 4], xorMask[32 * 4] = {};
    memset(andMask, 0xFF, sizeof andMask);
    const HICON hMade = CreateIcon(GetModuleHandleA(nullptr), 32, 32, 1, 1, andMask, xorMask),
                hSecond = CopyIcon(hMade);
    {
        CIconHandle owner(hMade);
        CIconHandle moved(std::move(owner));
        EXPECT_EQ(owner.Get(), nullptr);
        EXPECT_TRUE(isLive(hMade));
        moved.Reset(hSecond);
        EXPECT_FALSE(isLive(hMade));
        EXPECT_EQ(moved.Detach(), hSecond);
    }
    EXPECT_TRUE(isLive(hSecond));
    DestroyIcon(hSecond);
}
