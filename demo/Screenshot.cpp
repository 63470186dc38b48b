#include "Screenshot.h"

#include <cstdio>
#include <vector>

bool SaveScreenshot(const std::string& path, const RECT& rc) {
    const int nWidth = rc.right - rc.left;
    const int nHeight = rc.bottom - rc.top;
    if (nWidth <= 0 || nHeight <= 0) return false;
    HDC hScreen = GetDC(nullptr);
    HDC hMem = CreateCompatibleDC(hScreen);
    HBITMAP hBitmap = CreateCompatibleBitmap(hScreen, nWidth, nHeight);
    HGDIOBJ hOld = SelectObject(hMem, hBitmap);
    BitBlt(hMem, 0, 0, nWidth, nHeight, hScreen, rc.left, rc.top, SRCCOPY);
    SelectObject(hMem, hOld);

    BITMAPINFOHEADER bih = {};
    bih.biSize = sizeof(bih);
    bih.biWidth = nWidth;
    bih.biHeight = nHeight;
    bih.biPlanes = 1;
    bih.biBitCount = 24;
    bih.biCompression = BI_RGB;
    const DWORD nStride = (nWidth * 3 + 3) & ~3u;
    std::vector<BYTE> pixels(nStride * nHeight);
    const int nLines = GetDIBits(hMem, hBitmap, 0, nHeight, pixels.data(),
                                 reinterpret_cast<BITMAPINFO*>(&bih), DIB_RGB_COLORS);
    DeleteObject(hBitmap);
    DeleteDC(hMem);
    ReleaseDC(nullptr, hScreen);
    if (nLines != nHeight) return false;

    BITMAPFILEHEADER bfh = {};
    bfh.bfType = 0x4D42;  // "BM"
    bfh.bfOffBits = sizeof(bfh) + sizeof(bih);
    bfh.bfSize = bfh.bfOffBits + static_cast<DWORD>(pixels.size());
    FILE* pFile = std::fopen(path.c_str(), "wb");
    if (pFile == nullptr) return false;
    const bool bOk = std::fwrite(&bfh, sizeof(bfh), 1, pFile) == 1 &&
                     std::fwrite(&bih, sizeof(bih), 1, pFile) == 1 &&
                     std::fwrite(pixels.data(), pixels.size(), 1, pFile) == 1;
    std::fclose(pFile);
    return bOk;
}
