#include "traces.h"

namespace frame {

double logicValue(bool high, int line, int chdPosition, int chdSize)
{
    const double base = logicBase(line);
    const double level = logicLevel(chdPosition);
    return high ? level + chdSize + base : level + base - 10.0;
}

double bitLabelY(int line, int chdPosition, int chdSize)
{
    return logicLevel(chdPosition) + chdSize + logicBase(line) - 5.0;
}

ColumnPlan columnPlan(int samplingValue, bool rollMode, unsigned char rollIndex, int scrollValue)
{
    if (reg::isSlowTimeBase(samplingValue))
        return {rollMode ? int(rollIndex) : 0, 1};
    return {scrollValue, 2};
}

namespace {
void trackRange(double value, bool first, double &min, double &max)
{
    if (first) {
        min = max = value;
    } else {
        if (value < min)
            min = value;
        if (value > max)
            max = value;
    }
}
} // namespace

void buildTraces(const unsigned char *frameData, const TraceInputs &inputs, Traces &out)
{
    const unsigned char *ch1 = frameData + Ch1Offset;
    const unsigned char *ch2 = frameData + Ch2Offset;
    const unsigned char *logic = frameData + LogicOffset;
    const ColumnPlan plan =
        columnPlan(inputs.samplingValue, inputs.rollMode, frameData[RollIndexOffset], inputs.scrollValue);

    out.keys.resize(0);
    out.xyKeys.resize(0);
    out.ch1.resize(0);
    out.ch2.resize(0);
    out.sampleIndex.resize(0);
    for (auto &line : out.logic)
        line.resize(0);
    out.ch1Min = out.ch1Max = out.ch2Min = out.ch2Max = 0;
    out.cursorMin = out.cursorMax = 0;
    for (int n = 0; n < LogicLines; ++n)
        out.bitLabelY[n] = bitLabelY(n, inputs.chdPosition, inputs.chdSize);

    int i = plan.start;
    bool first = true;
    for (int x = 0; x < inputs.plotColumns; x += plan.step, ++i, first = false) {
        i = wrapSampleIndex(i);
        const double v1 = channelValue(ch1[i], inputs.ch1Position);
        const double v2 = channelValue(ch2[i], inputs.ch2Position);
        out.keys.append(x);
        out.xyKeys.append(MaxSampleIndex - ch1[i]);
        out.sampleIndex.append(i);
        out.ch1.append(v1);
        out.ch2.append(v2);
        if (inputs.cursorChannel == CursorChannel::Ch1)
            trackRange(v1, first, out.cursorMin, out.cursorMax);
        else if (inputs.cursorChannel == CursorChannel::Ch2)
            trackRange(v2, first, out.cursorMin, out.cursorMax);
        trackRange(v1, first, out.ch1Min, out.ch1Max);
        trackRange(v2, first, out.ch2Min, out.ch2Max);
        for (int n = 0; n < LogicLines; ++n)
            out.logic[n].append(logicValue(logic[i] & (1u << n), n, inputs.chdPosition, inputs.chdSize));
    }
}

Traces buildTraces(const unsigned char *frameData, const TraceInputs &inputs)
{
    Traces traces;
    buildTraces(frameData, inputs, traces);
    return traces;
}

} // namespace frame
