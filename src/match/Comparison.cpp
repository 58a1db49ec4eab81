#include "match/Comparison.h"

#include "match/NearMiss.h"

namespace pq {

namespace {

bool within(int position, int bound)
{
    return position != 0 && position <= bound;
}

} // namespace

bool ListIndex::build(std::span<const TextRef> texts, const std::function<bool()>& pause)
{
    m_texts = texts;
    KeyedIndex::KeyOf exactKey;
    if (m_options.ignoreBlanks || m_options.ignoreCase)
        exactKey = [this](QStringView text) { return m_keys.exactKey(text, m_options); };
    if (!m_exact.build(texts, exactKey, pause))
        return false;
    if (m_comparison != Comparison::NearMisses)
        return true;
    return m_loose.build(
        texts, [this](QStringView text) { return m_keys.looseKey(text); }, pause);
}

Verdict judge(QStringView text, const ListIndex& index, int bound, KeyMaker& keys)
{
    Verdict verdict;
    verdict.key = keys.exactKey(text, index.options());
    const bool found = within(index.exact().firstPosition(verdict.key), bound);
    switch (index.comparison()) {
    case Comparison::AlsoIn:
        verdict.append = found;
        break;
    case Comparison::NotIn:
    case Comparison::List2NotInList1:
        verdict.append = !found;
        break;
    case Comparison::NearMisses:
        if (found)
            break;
        const int near = index.loose().firstPosition(keys.looseKey(text));
        if (within(near, bound)) {
            verdict.append = true;
            verdict.explanation =
                nearMissExplanation(text, index.texts()[size_t(near - 1)].view(), index.options());
        }
        break;
    }
    return verdict;
}

} // namespace pq
