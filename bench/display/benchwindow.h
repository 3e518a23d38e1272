#pragma once
// Shared set-up of the window benchmarks: the window against the simulated
// instrument with the full display load, the plot at 850 x 850 pixels.

#include "app/quorvelinterface.h"
#include "display/plotwidget.h"
#include "simcontrol.h"
#include "windowfixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>

#include <algorithm>
#include <vector>

namespace benchwindow {

using quorveltest::waitForReplots;

// Two channels, eight logic lines, decay 8, both spectra, references on,
// the Dark theme, at 32 us/div (a time base whose sweep is short enough for
// the instrument to send 250 frames/s and more). The plot is 850 x 850
// pixels, or the window has windowSize. Returns false when no frames arrive.
inline bool loadDisplay(QuorvelInterface &window, PlotWidget *plot, QSize windowSize = QSize())
{
    window.show();
    QApplication::processEvents();
    const QSize extra = window.size() - plot->size();
    window.resize(windowSize.isValid() ? windowSize : QSize(850, 850) + extra);
    if (!waitForReplots(plot, 3))
        return false;
    auto check = [&](const char *name) { window.findChild<QCheckBox *>(name)->setChecked(true); };
    for (const char *name : {"checkBoxCH1Trace", "checkBoxCH2Trace", "checkBoxCHDTrace", "checkBoxFFTTrace",
                             "checkBoxFFTCH1", "checkBoxFFTCH2", "refCH1", "refCH2", "refLogic"})
        check(name);
    window.findChild<QSlider *>("decaySlider")->setValue(8);
    window.findChild<QSlider *>("samplingSlider")->setValue(2);
    auto *theme = window.findChild<QComboBox *>("comboBoxTheme");
    theme->setCurrentIndex(0);
    emit theme->activated(0);
    window.findChild<QPushButton *>("captureButton")->click();
    return waitForReplots(plot, 10);
}

// Counts the paint events widgets receive.
class PaintCounter : public QObject
{
public:
    int paints = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

inline double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

inline double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * (values.size() - 1) + 0.5))];
}

} // namespace benchwindow
