// Counts what the library's code creates and frees in this program: GDI objects and
// device contexts, windows, menus and hooks, kernel handles and module references,
// and heap blocks. The library's code is linked into the program, so its calls to the
// system go through the program's import table; the counter bends those imports for
// its life. Wine's GetGuiResources answers 0, so the program keeps its own books.
#pragma once

#include <windows.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

class CImportPatch;

class CLeakCounter {
  public:
    // The books kept, one per kind of object.
    enum Pool {
        kGdiObjects,  // bitmaps, brushes, pens, fonts
        kDcs,         // memory DCs, window DCs and paint DCs
        kWindows,     // windows and dialogs
        kMenus,       // menus
        kHooks,       // window hooks
        kIcons,       // icons made with CreateIconIndirect or CopyImage
        kHandles,     // kernel handles: events, mutexes, semaphores, threads, processes, finds
        kModules,     // module references taken with LoadLibrary
        kHeap,        // heap blocks from the C runtime and BSTRs; amounts are bytes
        kPoolCount
    };

    // The state of one book.
    struct Count {
        size_t nCreated;  // objects created since the start
        size_t nDeleted;  // objects freed since the start
        size_t nLive;     // objects alive now
        size_t nBytes;    // bytes alive now (heap only)
    };

    // Bends the imports; only one counter may exist at a time.
    CLeakCounter();
    // Puts the imports back.
    ~CLeakCounter();
    CLeakCounter(const CLeakCounter&) = delete;
    CLeakCounter& operator=(const CLeakCounter&) = delete;

    // Names of the imports that must be bent but were not found in the program.
    const std::vector<std::string>& Missing() const { return m_missing; }
    // The state of a book, after forgetting objects that died with others (child
    // windows with their parent, submenus with their menu).
    static Count Sample(Pool pool);
    // True when a book ran out of room, so its counts are incomplete.
    static bool Overflowed();
    // While on, the library's pauses (the slide of the information window, the frames
    // of the rotation) are cut to a yield, so a thousand cycles fit into seconds.
    static void SetFastClock(bool bOn);
    // A real pause for the program itself, whatever the clock.
    static void RealSleep(DWORD nMs);

  private:
    std::vector<std::unique_ptr<CImportPatch>> m_patches;  // the bent imports
    std::vector<std::string> m_missing;                    // required imports not found
};
