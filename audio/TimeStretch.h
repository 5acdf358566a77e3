#pragma once

#include <QtGlobal>

#include <vector>

namespace lessora {

// Plays speech `speed` times as fast without changing its pitch (WSOLA: overlapping windows of
// the input, each placed where it best continues the output). Open JTalk's own speed option
// mostly shortens its pauses, so its voices are sped up or slowed down here instead.
std::vector<qint16> timeStretched(const std::vector<qint16>& samples, int sampleRate, double speed);

} // namespace lessora
