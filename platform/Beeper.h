#pragma once

namespace lessora {

// The short system sound played when playback skips rows.
class Beeper {
public:
    virtual ~Beeper() = default;
    virtual void beep() = 0;
};

} // namespace lessora
