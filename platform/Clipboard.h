#pragma once

#include <QString>

namespace lessora {

// The clipboard's plain text.
class ClipboardText {
public:
    virtual ~ClipboardText() = default;
    virtual bool hasText() = 0;
    virtual QString text() = 0;
};

} // namespace lessora
