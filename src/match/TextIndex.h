#pragma once

#include "platform/TextStore.h"

#include <QStringView>

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace pq {

// Finds the first position (1-based) of a text in a list of texts, by exact comparison.
// An open-addressing table of positions: it keeps no copies of the texts, only refers
// to the texts it was built from, which must stay unchanged while the index is used.
class TextIndex
{
public:
    // Builds the index of `texts`; calls `pause` now and then so a caller can yield.
    // Returns false when `pause` returned false: the texts changed and the index is empty.
    bool build(std::span<const TextRef> texts, const std::function<bool()>& pause = {});

    // The first position of `text`, or 0 when it does not occur.
    int firstPosition(QStringView text) const;

private:
    struct Slot
    {
        uint32_t hash = 0;
        int32_t position = 0; // 0: empty slot
    };

    void reset();

    std::span<const TextRef> m_texts;
    std::vector<Slot> m_slots;
    size_t m_mask = 0;
};

} // namespace pq
