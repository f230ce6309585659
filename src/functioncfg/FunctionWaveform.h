#pragma once

#include <QImage>

namespace zqb {

inline constexpr int WaveformWidth = 349;
inline constexpr int WaveformHeight = 80;

// The fixed picture of the analog waveform: Off level, Ton ramp, Thold at the On level, Toff
// ramp, Off level again. It explains the five bars below it and does not follow their values.
QImage DrawFunctionWaveform();

}  // namespace zqb
