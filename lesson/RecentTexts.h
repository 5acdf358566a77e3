#pragma once

#include <QString>

#include <array>
#include <cstddef>

namespace lessora {

// The last few distinct texts handed out, handed out again for an equal text instead of a new
// copy: a lesson's speakers, languages and pauses repeat from row to row, and its rows can then
// share them.
class RecentTexts {
public:
    // An equal text of the last few, or a new copy of `text` (a QStringView or a
    // QLatin1StringView).
    template <typename Text> QString take(Text text) {
        for (const QString& known : m_texts) {
            if (!known.isNull() && known == text)
                return known;
        }
        m_next = (m_next + 1) % m_texts.size();
        m_texts[m_next] = text.toString();
        return m_texts[m_next];
    }

private:
    std::array<QString, 4> m_texts;
    std::size_t m_next = 0;
};

} // namespace lessora
