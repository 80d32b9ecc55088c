#include "PageTileSlots.h"

#include <algorithm>

PageTileSlots::Placement PageTileSlots::place(uint64_t contents, size_t bytes)
{
    ++m_uses;
    if (auto found = m_slotOf.find(contents); found != m_slotOf.end()) {
        m_slots[found->second].lastUsed = m_uses;
        return { found->second, true };
    }
    while (!m_slotOf.empty() && m_keptBytes + bytes > m_budgetBytes)
        giveUpLeastRecent();
    uint32_t slot = 0;
    if (!m_free.empty()) {
        slot = m_free.back();
        m_free.pop_back();
    } else {
        slot = static_cast<uint32_t>(m_slots.size());
        m_slots.emplace_back();
    }
    m_slots[slot] = Slot { contents, bytes, m_uses, true };
    m_slotOf[contents] = slot;
    m_keptBytes += bytes;
    return { slot, false };
}

// A scan of the slots: a page keeps a few hundred tiles at most, and a slot is given up only
// when a new tile does not fit.
void PageTileSlots::giveUpLeastRecent()
{
    auto oldest = std::min_element(m_slots.begin(), m_slots.end(), [](const Slot& a, const Slot& b) {
        return a.used != b.used ? a.used : a.lastUsed < b.lastUsed;
    });
    m_slotOf.erase(oldest->contents);
    m_keptBytes -= oldest->bytes;
    oldest->used = false;
    m_free.push_back(static_cast<uint32_t>(oldest - m_slots.begin()));
}
