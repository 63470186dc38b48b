#include "LiveSet.h"

namespace {

// Spreads handle values, which are multiples of 4 or of 8, over the table.
size_t Home(uintptr_t nKey) {
    return static_cast<size_t>((nKey * 2654435761u) >> 7) & (CLiveSet::kSlots - 1);
}

}  // namespace

CLiveSet::CLiveSet()
    : m_keys(),
      m_amounts(),
      m_nCreated(0),
      m_nDeleted(0),
      m_nLive(0),
      m_nAmount(0),
      m_bOverflow(false) {}

size_t CLiveSet::Find(uintptr_t nKey) const {
    size_t nSlot = Home(nKey);
    for (size_t nProbe = 0; nProbe < kSlots; ++nProbe) {
        if (m_keys[nSlot] == 0 || m_keys[nSlot] == nKey) return nSlot;
        nSlot = (nSlot + 1) & (kSlots - 1);
    }
    return kSlots;
}

void CLiveSet::Add(uintptr_t nKey, size_t nAmount, bool bUnique) {
    if (nKey == 0) return;
    const size_t nSlot = Find(nKey);
    // One slot always stays free so that every probe ends.
    if (nSlot == kSlots || (m_keys[nSlot] == 0 && m_nLive + 1 >= kSlots)) {
        m_bOverflow = true;
        return;
    }
    ++m_nCreated;
    if (m_keys[nSlot] == 0) {
        m_keys[nSlot] = nKey;
        m_amounts[nSlot] = nAmount;
        ++m_nLive;
        m_nAmount += nAmount;
        return;
    }
    if (bUnique) {
        ++m_nDeleted;
        m_nAmount -= m_amounts[nSlot];
        m_amounts[nSlot] = 0;
    }
    m_amounts[nSlot] += nAmount;
    m_nAmount += nAmount;
}

size_t CLiveSet::Take(uintptr_t nKey, size_t nAmount) {
    if (nKey == 0) return 0;
    const size_t nSlot = Find(nKey);
    if (nSlot == kSlots || m_keys[nSlot] == 0) return 0;
    const size_t nTaken = nAmount < m_amounts[nSlot] ? nAmount : m_amounts[nSlot];
    m_amounts[nSlot] -= nTaken;
    m_nAmount -= nTaken;
    if (m_amounts[nSlot] == 0) Remove(nSlot);
    return nTaken;
}

size_t CLiveSet::Drop(uintptr_t nKey) {
    if (nKey == 0) return 0;
    const size_t nSlot = Find(nKey);
    if (nSlot == kSlots || m_keys[nSlot] == 0) return 0;
    const size_t nAmount = m_amounts[nSlot];
    m_nAmount -= nAmount;
    Remove(nSlot);
    return nAmount;
}

void CLiveSet::Prune(bool (*pfnAlive)(uintptr_t nKey)) {
    for (size_t nSlot = 0; nSlot < kSlots;) {
        if (m_keys[nSlot] != 0 && !pfnAlive(m_keys[nSlot])) {
            m_nAmount -= m_amounts[nSlot];
            // A later entry may move into this slot: look at it again.
            Remove(nSlot);
        } else {
            ++nSlot;
        }
    }
}

void CLiveSet::Remove(size_t nSlot) {
    ++m_nDeleted;
    --m_nLive;
    size_t nHole = nSlot;
    size_t nNext = (nHole + 1) & (kSlots - 1);
    while (m_keys[nNext] != 0) {
        const size_t nHome = Home(m_keys[nNext]);
        // The entry may fill the hole when its home is not in (hole, next].
        const bool bMovable =
            nHole <= nNext ? (nHome <= nHole || nHome > nNext) : (nHome <= nHole && nHome > nNext);
        if (bMovable) {
            m_keys[nHole] = m_keys[nNext];
            m_amounts[nHole] = m_amounts[nNext];
            nHole = nNext;
        }
        nNext = (nNext + 1) & (kSlots - 1);
    }
    m_keys[nHole] = 0;
    m_amounts[nHole] = 0;
}
