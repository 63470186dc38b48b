// The handles or memory blocks that are alive, each with an amount: a reference count
// for handles, a size in bytes for memory blocks. It lives in memory fixed at build
// time and never allocates, because it sits inside the bent allocator itself.
#pragma once

#include <cstddef>
#include <cstdint>

class CLiveSet {
  public:
    // Slots of the table; a power of two. The workloads keep far fewer alive at once.
    static constexpr size_t kSlots = size_t(1) << 17;

    // Empty.
    CLiveSet();
    CLiveSet(const CLiveSet&) = delete;
    CLiveSet& operator=(const CLiveSet&) = delete;

    // Adds an amount to the entry of a key, creating it. With bUnique the key can be
    // alive only once (a window, a GDI object, a kernel handle): an entry left over
    // from an object that died unseen is counted as deleted and starts again.
    void Add(uintptr_t nKey, size_t nAmount, bool bUnique);
    // Takes an amount from the entry of a key, removing it at zero; returns what was
    // taken (0: the key was not alive, so the object was not one of ours).
    size_t Take(uintptr_t nKey, size_t nAmount);
    // Removes the entry of a key; returns its amount (0: not alive).
    size_t Drop(uintptr_t nKey);
    // Removes every entry the test rejects as dead (for objects that die with others,
    // such as child windows and submenus).
    void Prune(bool (*pfnAlive)(uintptr_t nKey));

    // Entries created so far, including restarts of unique keys.
    size_t Created() const { return m_nCreated; }
    // Entries removed so far.
    size_t Deleted() const { return m_nDeleted; }
    // Entries alive now.
    size_t Live() const { return m_nLive; }
    // Sum of the amounts alive now.
    size_t Amount() const { return m_nAmount; }
    // True when an Add found the table full: the counts are then incomplete.
    bool Overflowed() const { return m_bOverflow; }

  private:
    // The slot holding a key, or the empty slot where it would go.
    size_t Find(uintptr_t nKey) const;
    // Empties a slot and moves later entries of its run back, so no tombstones remain.
    void Remove(size_t nSlot);

    uintptr_t m_keys[kSlots];  // 0: an empty slot
    size_t m_amounts[kSlots];  // the amount of each key
    size_t m_nCreated;         // entries created
    size_t m_nDeleted;         // entries removed
    size_t m_nLive;            // entries alive
    size_t m_nAmount;          // sum of the amounts alive
    bool m_bOverflow;          // an Add found no room
};
