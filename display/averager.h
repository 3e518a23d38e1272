#pragma once

#include <QVector>

#include <array>

// The Average setting: the shown CH1 and CH2 traces are the mean, value by
// value, of the last 1, 2, 4 or 8 frames. Any change of what a frame's values
// mean (time base, volts/div, position, trigger, mode) starts the mean again;
// in roll mode the frames are shown as they come.
class TraceAverager
{
public:
    static constexpr int MaxDepth = 8;

    // What the averaged frames must have in common.
    struct Conditions
    {
        int timeBase = 0;
        int ch1Gain = 0, ch2Gain = 0;
        int ch1Position = 0, ch2Position = 0;
        int scroll = 0;       // which part of the record is shown
        unsigned trigger = 0; // the trigger's settings, packed by the caller
        unsigned mode = 0;    // display and acquisition mode, packed by the caller
        bool rollMode = false;
        bool operator==(const Conditions &o) const
        {
            return timeBase == o.timeBase && ch1Gain == o.ch1Gain && ch2Gain == o.ch2Gain &&
                   ch1Position == o.ch1Position && ch2Position == o.ch2Position && scroll == o.scroll &&
                   trigger == o.trigger && mode == o.mode && rollMode == o.rollMode;
        }
        bool operator!=(const Conditions &o) const { return !(*this == o); }
    };

    // The depth of a combo box index: 1, 2, 4, 8 (index 0..3); 1 otherwise.
    static int depthOfIndex(int index);

    // Adds this frame's traces and replaces them by the mean of the last
    // depth frames (fewer right after a restart). depth <= 1 and roll mode
    // leave them as they are and forget the earlier frames; so does a frame
    // of another length than the ones before (a new restart).
    void apply(QVector<double> &ch1, QVector<double> &ch2, const Conditions &conditions, int depth);
    void reset();
    // Frames in the mean of the last apply.
    int count() const { return frames; }

private:
    void add(QVector<double> &values, std::array<QVector<double>, MaxDepth> &ring, QVector<double> &sum);

    Conditions last;
    int currentDepth = 1;
    int frames = 0;   // frames held, up to currentDepth
    int next = 0;     // ring slot of the next frame
    std::array<QVector<double>, MaxDepth> ring1, ring2;
    QVector<double> sum1, sum2;
};
