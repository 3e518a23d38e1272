#pragma once

#include <QSize>
#include <QWidget>

class QLabel;

// Holds a read-out label whose text changes with every reading (the Meter's
// volts and counter), so that a new text repaints the label alone.
//
// A label asks the layouts above it to be done again on every new text, even
// when its size stays the same; the tab pages above then repaint whole, which
// costs more than the reading. The holder takes the label's place in its
// layout and passes a request on only when the label's size hints changed.
class SteadyReadout : public QWidget
{
public:
    // Puts label into a holder in the label's place in its parent's layout;
    // nothing happens to a label that is in no layout.
    static void hold(QLabel *label);

    QSize sizeHint() const override { return hint; }
    QSize minimumSizeHint() const override { return minimumHint; }

protected:
    bool event(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    explicit SteadyReadout(QLabel *label);
    // True when the label's hints changed (and are taken).
    bool takeHints();

    QLabel *label;
    QSize hint;
    QSize minimumHint;
};
