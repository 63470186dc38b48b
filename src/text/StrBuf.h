// The library's growable zero-terminated ANSI text on the runtime heap.
#pragma once

#include <windows.h>

#include <cstdint>

#include "text/Status.h"

// Texts here are short (paths, labels, option values), so growth is exact-fit: a block is always
// the needed characters plus the terminator, and a held block is reused whenever it is large
// enough. No operation throws; running out of memory is reported through status words.
class CStrBuf {
  public:
    // Empty buffer holding no block.
    CStrBuf();
    // Copy of a zero-terminated text; null gives an empty buffer.
    explicit CStrBuf(const char* text);
    // Deep copy of another buffer.
    CStrBuf(const CStrBuf& other);
    // Deep copy of another buffer.
    CStrBuf& operator=(const CStrBuf& other);
    // Releases the block.
    ~CStrBuf();

    // Releases the block; the buffer becomes empty and holds nothing.
    void Clear();
    // Makes room for n characters and sets the length to n. A held block larger than n is kept
    // with its first n characters; otherwise the old content is lost. Returns 1 or
    // ST_E_OUTOFMEMORY (then no block is held).
    StatusWord Allocate(std::uint32_t n);
    // Shortens or lengthens within the held block; ignored when n does not fit.
    void SetLength(std::uint32_t n);
    // Copies a zero-terminated text; null empties the buffer and releases its block.
    CStrBuf& Assign(const char* text);
    // Copies another buffer.
    CStrBuf& Assign(const CStrBuf& other);
    // Appends a zero-terminated text, which must not be null; unchanged when out of memory.
    CStrBuf& Append(const char* text);
    // Appends another buffer, which may be this one.
    CStrBuf& Append(const CStrBuf& other);
    // Non-zero when equal to the text; a null text equals an empty buffer.
    StatusWord Equals(const char* text) const;
    // ST_OK when the buffer holds exactly these n bytes, 0 otherwise.
    StatusWord EqualsBytes(const void* bytes, std::uint32_t n) const;
    // 0 when the buffer holds exactly these n bytes, non-zero otherwise.
    int Compare(const void* bytes, std::uint32_t n) const;
    // Offset of the first needle at or after start (a negative start counts as 0), or -1.
    int Find(const char* needle, int start) const;
    // Offset of the last occurrence of c, or -1.
    int ReverseFind(char c) const;
    // Puts the last n characters (all of them when fewer) into out, which may be this buffer.
    void Right(CStrBuf& out, std::uint32_t n) const;
    // Writes value in radix with lower-case digits, left-padded with '0' to width characters
    // (at most 33). Outside radix 10 a negative value shows its unsigned 32-bit pattern.
    // Returns 1 or ST_E_OUTOFMEMORY.
    StatusWord FromInteger(std::int32_t value, int radix, std::uint32_t width);
    // Sets the text to the folder of the module's file, ending with a backslash. Returns 1,
    // ST_E_OUTOFMEMORY or the platform's error as a status.
    StatusWord SetModuleDirectory(HMODULE module);
    // The text; never null, an empty buffer gives a shared empty text.
    const char* CStr() const;
    // Lower-cases in place under the runtime's current locale.
    void ToLower();
    // Replaces every non-overlapping find, scanning left to right, by repl (not null). Returns the
    // number of replacements.
    std::uint32_t ReplaceAll(const char* find, const char* repl);
    // Number of characters, terminator not counted.
    std::uint32_t Length() const;
    // Size of the held block in bytes, terminator included; 0 when none is held.
    std::uint32_t Capacity() const;
    // True when the length is 0, whether or not a block is held.
    bool IsEmpty() const;
    // Takes ownership of a malloc block holding n characters. With ADOPT_KEEP_BLOCK the block is
    // used as it is and must already have a 0 at offset n; without it the block is shrunk or grown
    // to n + 1 bytes. Returns ST_OK, or ST_E_OUTOFMEMORY with the block released and the buffer
    // empty.
    StatusWord Adopt(char* block, std::uint32_t n, std::uint32_t flags);

    // Adopt flag: use the block as it is instead of resizing it.
    static constexpr std::uint32_t ADOPT_KEEP_BLOCK = 1;

  private:
    // Copies n bytes that may lie inside this buffer's own block.
    void AssignBytes(const char* bytes, std::uint32_t n);
    // Appends n bytes that may lie inside this buffer's own block.
    void AppendBytes(const char* bytes, std::uint32_t n);

    // Characters held, terminator not counted.
    std::uint32_t m_nLength;
    // The malloc block, or null when none is held.
    char* m_pData;
    // Size of the block in bytes, terminator included; 0 when none is held.
    std::uint32_t m_nCapacity;
};
