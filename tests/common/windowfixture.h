#pragma once
// The window against the simulated instrument, for window tests.
//
//   WindowFixture f;                 // a member of the test object
//   void init()    { f.init(); }     // simulated instrument back to factory state
//   void cleanup() { f.cleanup(); }  // window closed and deleted
//
//   QVERIFY(f.startStreaming());     // window shown, connected, frames drawn
//   f.child<QCheckBox>("refCH1")->setChecked(true);
//   QVERIFY(f.waitForReplots(2));
//
// Handler tables: one ControlRow per control and value, performed as the user
// would and checked against the register writes the instrument received.
//
//   void controls_data()
//   {
//       quorveltest::addControlColumn();
//       quorveltest::addControlRow("ch1 gain 4", "ch1GainSlider", ControlAction::SetValue, 4,
//                                  {{reg::Gain1, 4}});
//   }
//   void controls()
//   {
//       QVERIFY(f.startConnected());
//       QFETCH(quorveltest::ControlRow, row);
//       QUORVEL_CHECK_CONTROL_ROW(f, row);
//   }
//
// Every modal box the window opens is closed by the fixture (ModalBoxCloser);
// what it said is kept for the test to check.

#include "app/quorvelinterface.h"
#include "display/plotwidget.h"
#include "simcontrol.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QInputDialog>
#include <QMessageBox>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTimer>
#include <QtTest/QtTest>

#include <functional>
#include <memory>

namespace quorveltest {

// Waits until the plot has been drawn n more times; false after timeoutMs.
inline bool waitForReplots(QCustomPlot *plot, int n, int timeoutMs = 10000)
{
    if (!plot)
        return false;
    QSignalSpy spy(plot, &QCustomPlot::afterReplot);
    QElapsedTimer clock;
    clock.start();
    while (spy.count() < n && clock.elapsed() < timeoutMs)
        spy.wait(int(qBound<qint64>(1, timeoutMs - clock.elapsed(), 50)));
    return spy.count() >= n;
}

// Closes every modal box and dialog while it lives, so no test hangs in a
// nested event loop. Message boxes are answered with Ok; input dialogs with
// inputReply, or cancelled when it is null. `custom` is asked first and
// returns true when it has closed the dialog itself.
class ModalBoxCloser
{
public:
    explicit ModalBoxCloser(int intervalMs = 10)
    {
        timer.setInterval(intervalMs);
        QObject::connect(&timer, &QTimer::timeout, [this] { closeActive(); });
        timer.start();
    }

    void clear()
    {
        boxesSeen.clear();
        inputsSeen.clear();
        inputReply = QString();
        custom = nullptr;
    }

    QStringList boxesSeen;  // "title|text" of every message box, in order
    QStringList inputsSeen; // the text each input dialog showed when it opened
    QString inputReply;     // null: input dialogs are cancelled
    std::function<bool(QWidget *)> custom;

private:
    void closeActive()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        if (custom && custom(modal))
            return;
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            boxesSeen << box->windowTitle() + "|" + box->text();
            box->done(QMessageBox::Ok);
        } else if (auto *input = qobject_cast<QInputDialog *>(modal)) {
            inputsSeen << input->textValue();
            if (inputReply.isNull()) {
                input->reject();
            } else {
                input->setTextValue(inputReply);
                input->accept();
            }
        } else if (auto *dialog = qobject_cast<QDialog *>(modal)) {
            dialog->reject();
        }
    }

    QTimer timer;
};

// One register write as the instrument received it ('b' command).
struct RegisterWrite
{
    int index = 0;
    int value = 0;
    bool operator==(const RegisterWrite &o) const { return index == o.index && value == o.value; }
};
using RegisterWrites = QVector<RegisterWrite>;

// "index=value" pairs, for readable comparisons.
inline QString toText(const RegisterWrites &writes)
{
    QStringList parts;
    for (const RegisterWrite &w : writes)
        parts << QStringLiteral("%1=%2").arg(w.index).arg(w.value);
    return parts.join(QStringLiteral(", "));
}

// The register writes in the command log, oldest first.
inline RegisterWrites registerWrites()
{
    RegisterWrites out;
    for (const quorvelsim::Command &c : quorvelsim::commandsWithLetter('b'))
        out.append({int(c.index), int(c.value)});
    return out;
}

enum class ControlAction {
    Click,       // QAbstractButton::click (check boxes, radio buttons, push buttons)
    SetValue,    // setValue(int) of a slider, scroll bar, dial or spin box
    ChooseIndex, // a combo box entry chosen: current index set, then activated
    SetDouble    // QDoubleSpinBox::setValue
};

// A handler-table row: act on the control `object`, then the instrument must
// have received exactly `writes`, in this order.
struct ControlRow
{
    QString object;
    ControlAction action = ControlAction::Click;
    double value = 0;
    RegisterWrites writes;
};

inline void addControlColumn()
{
    QTest::addColumn<ControlRow>("row");
}

inline void addControlRow(const char *name, const QString &object, ControlAction action, double value,
                          const RegisterWrites &writes)
{
    QTest::newRow(name) << ControlRow{object, action, value, writes};
}

class WindowFixture
{
public:
    // Call from init(): the simulated instrument in a new process's state.
    void init(double frameRate = 100)
    {
        quorvelsim::reset();
        quorvelsim::setFrameRate(frameRate);
        closer.clear();
    }

    // Call from cleanup().
    void cleanup()
    {
        if (window) {
            window->close();
            window.reset();
        }
        plotWidget = nullptr;
        quorvelsim::stopPtyWire();
        quorvelsim::reset();
    }

    // Builds and shows the window with its plot at about `plotSize`. The
    // window connects in its first event-loop turn (see startConnected).
    QuorvelInterface *start(QSize plotSize = QSize(850, 850))
    {
        window.reset(new QuorvelInterface);
        plotWidget = window->findChild<PlotWidget *>(QStringLiteral("plotterWidget"));
        window->resize(plotSize);
        window->show();
        return window.get();
    }

    // The window built against no instrument at all: the start-up connect fails.
    QuorvelInterface *startWithoutInstrument(QSize plotSize = QSize(850, 850))
    {
        quorvelsim::setFault(quorvelsim::Fault::NoDevice);
        return start(plotSize);
    }

    // Window shown and connected over USB; false when it did not connect.
    bool startConnected(QSize plotSize = QSize(850, 850), int timeoutMs = 5000)
    {
        start(plotSize);
        return QTest::qWaitFor([] { return quorvelsim::deviceOpen() && quorvelsim::interfaceClaimed(); },
                               timeoutMs) &&
               QTest::qWaitFor([this] { return !usbConnectPending(); }, timeoutMs);
    }

    // Connected, and at least one frame decoded and drawn.
    bool startStreaming(QSize plotSize = QSize(850, 850), int timeoutMs = 5000)
    {
        if (!startConnected(plotSize, timeoutMs))
            return false;
        return QTest::qWaitFor([this] { return framesProcessed() > 0; }, timeoutMs) &&
               QTest::qWaitFor([this] { return plotWidget->graph(0)->dataCount() > 0; }, timeoutMs);
    }

    QuorvelInterface *get() const { return window.get(); }
    PlotWidget *plot() const { return plotWidget; }

    // A form object of the window; a missing one ends the test run with its name.
    template <typename T> T *child(const QString &name) const
    {
        T *w = window ? window->findChild<T *>(name) : nullptr;
        if (!w)
            qFatal("form object %s of the expected kind missing", qPrintable(name));
        return w;
    }

    bool waitForReplots(int n, int timeoutMs = 10000) const
    {
        return quorveltest::waitForReplots(plotWidget, n, timeoutMs);
    }

    quint64 framesProcessed() const { return window ? window->property("framesProcessed").toULongLong() : 0; }

    // Waits until the window has decoded n more frames than now.
    bool waitForFrames(int n, int timeoutMs = 10000) const
    {
        const quint64 target = framesProcessed() + quint64(n);
        return QTest::qWaitFor([&] { return framesProcessed() >= target; }, timeoutMs);
    }

    // Performs the row's action as the user would, then checks the register
    // writes the instrument received (see QUORVEL_CHECK_CONTROL_ROW).
    void checkControlRow(const ControlRow &row) const
    {
        QCOMPARE(controlRowOutcome(row), toText(row.writes));
    }

    // What performing the row did: the register writes received, as toText
    // gives them, followed by any register that does not hold its last
    // written value; or why the action could not be performed.
    QString controlRowOutcome(const ControlRow &row) const
    {
        quorvelsim::clearCommandLog();
        QWidget *control = window ? window->findChild<QWidget *>(row.object) : nullptr;
        if (!control)
            return QStringLiteral("no form object ") + row.object;
        if (!perform(control, row.action, row.value))
            return row.object + QStringLiteral(" cannot take this action");
        // USB register writes are synchronous: the log holds them already.
        // Waiting for them anyway keeps the row valid over a queued path.
        if (!row.writes.isEmpty())
            quorvelsim::waitForCommand('b', row.writes.size(), 2000);
        const RegisterWrites received = registerWrites();
        QString outcome = toText(received);
        for (const RegisterWrite &w : received) {
            const int held = quorvelsim::peekRegister(w.index);
            if (held != lastWrittenValue(received, w.index))
                outcome += QStringLiteral(" (register %1 holds %2)").arg(w.index).arg(held);
        }
        return outcome;
    }

    ModalBoxCloser closer;

private:
    static int lastWrittenValue(const RegisterWrites &writes, int index)
    {
        int value = -1;
        for (const RegisterWrite &w : writes)
            if (w.index == index)
                value = w.value;
        return value;
    }

    static bool perform(QWidget *control, ControlAction action, double value)
    {
        switch (action) {
        case ControlAction::Click:
            if (auto *button = qobject_cast<QAbstractButton *>(control)) {
                button->click();
                return true;
            }
            return false;
        case ControlAction::SetValue:
            if (auto *slider = qobject_cast<QAbstractSlider *>(control)) {
                slider->setValue(int(value));
                return true;
            }
            if (auto *spin = qobject_cast<QSpinBox *>(control)) {
                spin->setValue(int(value));
                return true;
            }
            return false;
        case ControlAction::ChooseIndex:
            if (auto *combo = qobject_cast<QComboBox *>(control)) {
                combo->setCurrentIndex(int(value));
                emit combo->activated(int(value));
                return true;
            }
            return false;
        case ControlAction::SetDouble:
            if (auto *spin = qobject_cast<QDoubleSpinBox *>(control)) {
                spin->setValue(value);
                return true;
            }
            return false;
        }
        return false;
    }

    // The connect attempt runs in one event-loop turn; the title says when it
    // has finished.
    bool usbConnectPending() const { return !window->windowTitle().endsWith(QLatin1String("USB Connected")); }

    std::unique_ptr<QuorvelInterface> window;
    PlotWidget *plotWidget = nullptr;
};

} // namespace quorveltest

Q_DECLARE_METATYPE(quorveltest::ControlRow)

// Runs a handler-table row and leaves the test function on its first failure.
#define QUORVEL_CHECK_CONTROL_ROW(fixture, row)                                                              \
    do {                                                                                                     \
        (fixture).checkControlRow(row);                                                                      \
        if (QTest::currentTestFailed())                                                                      \
            return;                                                                                          \
    } while (false)
