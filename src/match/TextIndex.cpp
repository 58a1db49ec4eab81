#include "match/TextIndex.h"

#include <QHash>

namespace pq {

namespace {

uint32_t hashOf(QStringView text)
{
    const size_t h = qHash(text, 0x9e3779b9u);
    return static_cast<uint32_t>(h ^ (h >> 32));
}

// How many texts go into the index between two pauses.
constexpr size_t kPauseEvery = 4096;

} // namespace

void TextIndex::reset()
{
    m_texts = {};
    m_slots.clear();
    m_slots.shrink_to_fit();
    m_mask = 0;
}

bool TextIndex::build(std::span<const TextRef> texts, const std::function<bool()>& pause)
{
    reset();
    size_t capacity = 16;
    while (capacity < texts.size() * 2)
        capacity *= 2;
    m_slots.assign(capacity, Slot{});
    m_mask = capacity - 1;
    m_texts = texts;

    for (size_t i = 0; i < texts.size(); ++i) {
        if (pause && i % kPauseEvery == kPauseEvery - 1 && !pause()) {
            reset();
            return false;
        }
        const QStringView text = texts[i].view();
        const uint32_t hash = hashOf(text);
        size_t at = hash & m_mask;
        while (true) {
            Slot& slot = m_slots[at];
            if (slot.position == 0) {
                slot = Slot{hash, static_cast<int32_t>(i + 1)};
                break;
            }
            if (slot.hash == hash && texts[size_t(slot.position - 1)].view() == text)
                break; // keep the first occurrence
            at = (at + 1) & m_mask;
        }
    }
    return true;
}

int TextIndex::firstPosition(QStringView text) const
{
    if (m_slots.empty())
        return 0;
    const uint32_t hash = hashOf(text);
    size_t at = hash & m_mask;
    while (true) {
        const Slot& slot = m_slots[at];
        if (slot.position == 0)
            return 0;
        if (slot.hash == hash && m_texts[size_t(slot.position - 1)].view() == text)
            return slot.position;
        at = (at + 1) & m_mask;
    }
}

} // namespace pq
