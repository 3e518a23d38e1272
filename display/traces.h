#pragma once

#include "settings/registers.h"

#include <QVector>

// The acquisition frame and how its samples become plot values.
namespace frame {

constexpr int Size = 770;
constexpr int SamplesPerChannel = 256;
constexpr int Ch1Offset = 0;
constexpr int Ch2Offset = 256;
constexpr int LogicOffset = 512;
constexpr int CounterOffset = 768;
constexpr int RollIndexOffset = 769;
constexpr int LogicLines = reg::LogicLines;
constexpr int MaxSampleIndex = SamplesPerChannel - 1;

// What the instrument's frames carry (the window's deviceMode).
enum DeviceMode { OscilloscopeFrames = 0, SnifferFrames = 1 };

// Time bases above reg::LastFrameTimeBase show the whole record (and allow
// roll mode); at or below it the scroll bar chooses a half-record window.
// The fastest time base, at which CH2 is never drawn.
constexpr int FastestTimeBase = 0;
// X of the bit labels' right end: pixels from the plot's right edge.
constexpr double BitLabelX = -3;

// A channel's 0 V lies at plot value position + ZeroLevelOffset.
constexpr int ZeroLevelOffset = 256;
inline int zeroLevel(int position)
{
    return position + ZeroLevelOffset;
}

// position + 2 * (255 - sample): 0 is the top of the screen in sample terms.
inline double channelValue(unsigned char sample, int position)
{
    return position + 2.0 * (MaxSampleIndex - sample);
}

inline double logicBase(int line)
{
    return 20.0 * (line + 1);
}
inline double logicLevel(int chdPosition)
{
    return chdPosition * 50.0;
}
double logicValue(bool high, int line, int chdPosition, int chdSize);
double bitLabelY(int line, int chdPosition, int chdSize);

struct ColumnPlan
{
    int start = 0; // sample index of the first column
    int step = 1;  // columns per sample
};
ColumnPlan columnPlan(int samplingValue, bool rollMode, unsigned char rollIndex, int scrollValue);

// The running sample index past the end of the record starts again at 0.
inline int wrapSampleIndex(int index)
{
    return index > MaxSampleIndex ? 0 : index;
}

// Which channel's extremes feed the automatic cursors.
enum class CursorChannel { None, Ch1, Ch2 };

struct TraceInputs
{
    int plotColumns = 256;
    int samplingValue = 10;
    bool rollMode = false;
    int scrollValue = 127;
    int ch1Position = 0;
    int ch2Position = 0;
    int chdPosition = 3;
    int chdSize = 0;
    CursorChannel cursorChannel = CursorChannel::None;
};

struct Traces
{
    QVector<double> keys;   // running column x
    QVector<double> xyKeys; // 255 - CH1 sample, the keys of the XY display
    QVector<double> ch1;
    QVector<double> ch2;
    QVector<double> logic[LogicLines];
    QVector<int> sampleIndex; // sample shown in each column
    double ch1Min = 0, ch1Max = 0, ch2Min = 0, ch2Max = 0;
    double cursorMin = 0, cursorMax = 0; // of the cursor channel; 0 with none
    double bitLabelY[LogicLines] = {};
};

// Decodes one frame (at least 770 bytes) into the per-column values.
// Reuses the vectors' storage of out.
void buildTraces(const unsigned char *frameData, const TraceInputs &inputs, Traces &out);
Traces buildTraces(const unsigned char *frameData, const TraceInputs &inputs);

} // namespace frame
