#pragma once
// Frames as the window records them: 256 columns, CH1 and CH2 trace values
// around their positions, logic lines at their two levels.

#include "files/recording.h"

#include <cmath>

namespace benchrecording {

inline wavefile::Wave frame(int index)
{
    wavefile::Wave wave;
    for (int c = 0; c < 256; ++c) {
        wave.records[0].append(256 + std::round(200 * std::sin((c + index) * 0.0491)));
        wave.records[1].append(256 + std::round(120 * std::cos((c + 3 * index) * 0.0245)));
        for (int n = 0; n < wavefile::LogicRecords; ++n)
            wave.records[2 + n].append(150 + 20 * (n + 1) + ((((c + index) >> (n % 5)) & 1) ? 0 : -10));
    }
    return wave;
}

inline QByteArray recordingText(int frames)
{
    QByteArray text;
    for (int i = 0; i < frames; ++i)
        recording::appendEntry(text, 11 + i % 3, wavefile::WaveView::of(frame(i)));
    return text;
}

} // namespace benchrecording
