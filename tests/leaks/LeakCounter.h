// Counts what the library's code creates and frees in this program: GDI objects and device
// contexts, windows, menus, hooks and icons, kernel handles and module references, and heap
// blocks. The library's code is linked into the program, so its calls to the system go through the
// program's import table, which the counter bends for its life. Wine's GetGuiResources answers 0,
// so the program keeps its own books.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

class CImportPatch;

class CLeakCounter {
  public:
    // The books kept, and the sum of the heap blocks' bytes.
    enum Pool {
        kGdiObjects,
        kDcs,
        kWindows,
        kMenus,
        kHooks,
        kIcons,
        kHandles,
        kModules,
        kHeapBlocks,
        kHeapBytes,
        kPoolCount
    };

    // Bends the imports; only one counter may exist at a time.
    CLeakCounter();
    // Puts the imports back.
    ~CLeakCounter();
    CLeakCounter(const CLeakCounter&) = delete;
    CLeakCounter& operator=(const CLeakCounter&) = delete;

    // Names of the imports that could not be bent: the program never calls them.
    const std::vector<std::string>& Missing() const { return m_missing; }
    // What is alive in a book now, after forgetting objects that died with others (child windows
    // with their parent, submenus with their menu).
    static long Live(Pool pool);
    // While on, the library's pauses (the slide of the information window, the frames of the
    // rotation) are cut to a yield, so that many cycles fit into seconds.
    static void SetFastClock(bool bOn);
    // A real pause for the program itself, whatever the clock.
    static void RealSleep(DWORD nMs);

  private:
    std::vector<std::unique_ptr<CImportPatch>> m_patches;  // the bent imports
    std::vector<std::string> m_missing;                    // imports not found
};
