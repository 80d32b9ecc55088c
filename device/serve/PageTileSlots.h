#pragma once
// PageTileSlots: what one page keeps of the tiles it was sent, as the server sees it. A page
// keeps each tile it is sent in a numbered slot; a tile whose pixels it already holds (the
// lock screen coming back after an unlock, an appearance switched back) is then sent as the
// slot's number alone, and the page draws what it kept. Switching between two screens, an
// iPad's 5.6 million pixels are sent once, not at every switch.
//
// The server decides every slot: the page only keeps what it is told where it is told, so
// both always agree. The page keeps at most a byte budget (64 MiB, or four whole pictures
// where that is more: an iPad's at its own scale is 22 MB); the tile used longest ago gives
// up its slot first.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

class PageTileSlots {
public:
    static constexpr size_t kDefaultBudgetBytes = size_t(64) << 20;
    static constexpr size_t kPicturesKept = 4;

    explicit PageTileSlots(size_t budgetBytes = kDefaultBudgetBytes) : m_budgetBytes(budgetBytes) { }

    // Lets the page keep kPicturesKept whole pictures of `bytes` each, if its budget is less.
    void keepPicturesOf(size_t bytes) { m_budgetBytes = std::max(m_budgetBytes, kPicturesKept * bytes); }
    size_t budgetBytes() const { return m_budgetBytes; }

    struct Placement {
        uint32_t slot = 0;
        bool kept = false;  // the page holds these pixels in `slot`; else it is to keep them there
    };
    // Where the page finds, or is to keep, the tile of pixels `contents` (a hash of the
    // pixels and their size) of `bytes` bytes. The page does what each placement says, in
    // the order they were made.
    Placement place(uint64_t contents, size_t bytes);

    size_t keptBytes() const { return m_keptBytes; }
    size_t keptCount() const { return m_slotOf.size(); }

private:
    struct Slot {
        uint64_t contents = 0;
        size_t bytes = 0;
        uint64_t lastUsed = 0;
        bool used = false;
    };
    void giveUpLeastRecent();

    size_t m_budgetBytes;
    size_t m_keptBytes = 0;
    uint64_t m_uses = 0;
    std::vector<Slot> m_slots;
    std::vector<uint32_t> m_free;
    std::unordered_map<uint64_t, uint32_t> m_slotOf;
};
