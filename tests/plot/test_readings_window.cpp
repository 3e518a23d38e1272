// What the plot tells the user about the scope against the simulated
// instrument: the state text in its corner and the buttons that only act
// while connected.
#include "app/quorvelinterface.h"
#include "quorveltest.h"
#include "settings/registers.h"
#include "simcontrol.h"
#include "themes/customcolors.h"
#include "themes/themepalette.h"
#include "windowfixture.h"

#include <qcustomplot.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QRadioButton>
#include <QSlider>
#include <QToolTip>

#include <QHash>

#include <cmath>
#include <utility>

namespace sim = quorvelsim;

namespace {
// The number of a readout such as "T -0.320 V ↑" or "T 640.0 mV ↑", in volts.
double voltsIn(const QString &text)
{
    const QStringList parts = text.split(' ');
    if (parts.size() < 3)
        return std::nan("");
    bool ok = false;
    const double number = parts[1].toDouble(&ok);
    if (!ok)
        return std::nan("");
    if (parts[2] == QLatin1String("mV"))
        return number / 1e3;
    return parts[2] == QLatin1String("V") ? number : std::nan("");
}
} // namespace

class TestReadingsWindow : public QObject
{
    Q_OBJECT

    quorveltest::WindowFixture f;

    template <typename T> T *child(const char *name) { return f.child<T>(name); }

    QString state()
    {
        auto *label = f.plot()->findChild<QCPItemText *>(QStringLiteral("plotStateText"));
        return label && label->visible() ? label->text() : QStringLiteral("(no state text)");
    }
    QCPItemText *triggerText() { return f.plot()->findChild<QCPItemText *>(QStringLiteral("triggerLevelText")); }
    // The level lines shown, as plot values.
    QList<double> levelLines()
    {
        QList<double> out;
        for (int i = 0; i < f.plot()->itemCount(); ++i)
            if (auto *line = qobject_cast<QCPItemStraightLine *>(f.plot()->item(i)))
                if (line->visible() && line->pen().style() == Qt::DashLine)
                    out << line->point1->value();
        return out;
    }
    // The pixmap markers in the scene's order: cursors, zero markers, then the
    // trigger marker and the two window markers.
    QCPItemPixmap *marker(int index)
    {
        int n = 0;
        for (int i = 0; i < f.plot()->itemCount(); ++i)
            if (auto *p = qobject_cast<QCPItemPixmap *>(f.plot()->item(i)))
                if (n++ == index)
                    return p;
        return nullptr;
    }
    QPoint centre(QCPItemPixmap *m)
    {
        return (QPointF(m->left->pixelPosition().x(), m->top->pixelPosition().y()) +
                QPointF(m->pixmap().width(), m->pixmap().height()) / 2)
            .toPoint();
    }
    // Mouse events through the window system, as a user's mouse arrives.
    QPoint toWindow(QPoint p) { return f.plot()->mapTo(f.get(), p); }
    void press(QPoint p) { QTest::mousePress(f.get()->windowHandle(), Qt::LeftButton, {}, toWindow(p)); }
    void move(QPoint p) { QTest::mouseMove(f.get()->windowHandle(), toWindow(p)); }
    void release(QPoint p) { QTest::mouseRelease(f.get()->windowHandle(), Qt::LeftButton, {}, toWindow(p)); }
    QPoint pixelOf(double x, double y)
    {
        return QPoint(int(std::lround(f.plot()->xAxis->coordToPixel(x + 0.5))),
                      int(std::lround(f.plot()->yAxis->coordToPixel(y + 0.5))));
    }

    // Logic line n: the graphs drawn in steps that cannot be selected (their
    // references can).
    QCPGraph *logicGraph(int n)
    {
        for (int i = 0; i < f.plot()->graphCount(); ++i) {
            QCPGraph *g = f.plot()->graph(i);
            if (g->lineStyle() == QCPGraph::lsStepCenter && g->selectable() == QCP::stNone && n-- == 0)
                return g;
        }
        return nullptr;
    }

    QCPItemText *bitLabel(int n)
    {
        for (int i = 0; i < f.plot()->itemCount(); ++i)
            if (auto *t = qobject_cast<QCPItemText *>(f.plot()->item(i)))
                if (t->text() == QStringLiteral("Bit %1").arg(n))
                    return t;
        return nullptr;
    }

    QCPItemText *readout(const QString &prefix)
    {
        for (int i = 0; i < f.plot()->itemCount(); ++i)
            if (auto *t = qobject_cast<QCPItemText *>(f.plot()->item(i)))
                if (t->text().startsWith(prefix))
                    return t;
        return nullptr;
    }

    // The badge of a marker icon: its most frequent opaque colour.
    static QColor badgeOf(const QCPItemPixmap *m)
    {
        const QImage image = m->pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
        QHash<QRgb, int> counts;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qAlpha(image.pixel(x, y)) == 255)
                    ++counts[image.pixel(x, y)];
        QRgb most = 0;
        int count = 0;
        for (auto it = counts.constBegin(); it != counts.constEnd(); ++it)
            if (it.value() > count) {
                count = it.value();
                most = it.key();
            }
        return QColor::fromRgba(most);
    }
    static bool near(const QColor &a, const QColor &b)
    {
        return std::abs(a.red() - b.red()) <= 3 && std::abs(a.green() - b.green()) <= 3 &&
               std::abs(a.blue() - b.blue()) <= 3;
    }

    bool scopeButtonsEnabled()
    {
        return child<QAbstractButton>("stopButton")->isEnabled() && child<QAbstractButton>("forceButton")->isEnabled() &&
               child<QAbstractButton>("autoButton")->isEnabled();
    }
    bool scopeButtonsDisabled()
    {
        return !child<QAbstractButton>("stopButton")->isEnabled() &&
               !child<QAbstractButton>("forceButton")->isEnabled() && !child<QAbstractButton>("autoButton")->isEnabled();
    }

private slots:
    void init()
    {
        f.init(60);
        sim::setNoiseLevel(0);
    }
    void cleanup() { f.cleanup(); }

    void stateFollowsTheScope()
    {
        QVERIFY(f.startStreaming());
        QTRY_COMPARE(state(), QString("Running"));
        QVERIFY(scopeButtonsEnabled());

        auto *stop = child<QAbstractButton>("stopButton");
        stop->click();
        QTRY_COMPARE(state(), QString("Stopped"));
        stop->click();
        QTRY_COMPARE(state(), QString("Running"));

        // Normal with the level above anything the signal reaches: no frame comes.
        sim::pokeRegister(reg::TriggerLevel, 0);
        child<QRadioButton>("radioButtonNormal")->click();
        QTRY_COMPARE_WITH_TIMEOUT(state(), QString("Waiting for trigger"), 3000);
        // Auto draws a frame whatever the level.
        child<QRadioButton>("radioButtonAuto")->click();
        QTRY_COMPARE_WITH_TIMEOUT(state(), QString("Running"), 3000);

        child<QAbstractButton>("connectButton")->click();
        QTRY_COMPARE(state(), QString("Not connected"));
        QVERIFY(scopeButtonsDisabled());
    }

    void singleHoldsItsFrame()
    {
        QVERIFY(f.startStreaming());
        child<QRadioButton>("radioButtonSingle")->click();
        QTRY_COMPARE_WITH_TIMEOUT(state(), QString("Single: captured"), 3000);
        QCOMPARE(int(sim::peekRegister(reg::Trigger) & 3), 3);
        // Held: no frame for 2 s, and the text stays.
        const quint64 held = f.framesProcessed();
        QVERIFY(!QTest::qWaitFor([&] { return f.framesProcessed() > held; }, 2000));
        QCOMPARE(state(), QString("Single: captured"));
        // FORCE gives one frame and holds it again.
        child<QAbstractButton>("forceButton")->click();
        QVERIFY(f.waitForFrames(1, 3000));
        QTRY_COMPARE(state(), QString("Single: captured"));
        const quint64 forced = f.framesProcessed();
        QVERIFY(!QTest::qWaitFor([&] { return f.framesProcessed() > forced; }, 1000));
    }

    void singleWaitsWhenNothingTriggers()
    {
        sim::pokeRegister(reg::TriggerLevel, 0);
        QVERIFY(f.startConnected());
        child<QRadioButton>("radioButtonSingle")->click();
        QTRY_COMPARE_WITH_TIMEOUT(state(), QString("Waiting for trigger"), 3000);
    }

    void unplugSaysLinkLostWithTheReason()
    {
        QVERIFY(f.startStreaming());
        sim::unplug();
        QTRY_VERIFY_WITH_TIMEOUT(state().startsWith("Link lost: "), 5000);
        const QString reason = child<QLabel>("infoLabel")->text();
        QVERIFY(!reason.isEmpty());
        QCOMPARE(state(), "Link lost: " + reason);
        QVERIFY(scopeButtonsDisabled());
    }

    // The readout gives the level in volts of the source at its volts/div,
    // wherever its position puts the trace; the line shows while dragging.
    void triggerLevelReadout_data()
    {
        QTest::addColumn<int>("gain");
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("divisions");
        QTest::newRow("0.64 V/div, centred, +1 div") << 3 << 0 << 1;
        QTest::newRow("0.16 V/div, centred, -2 div") << 5 << 0 << -2;
        QTest::newRow("0.64 V/div, raised, +1 div") << 3 << 60 << 1;
        QTest::newRow("0.16 V/div, lowered, +1 div") << 5 << -60 << 1;
    }
    void triggerLevelReadout()
    {
        QFETCH(int, gain);
        QFETCH(int, position);
        QFETCH(int, divisions);
        QVERIFY(f.startStreaming(QSize(1200, 1100)));
        QVERIFY(QTest::qWaitForWindowExposed(f.get()));
        child<QRadioButton>("radioButtonNormal")->click();
        child<QSlider>("ch1GainSlider")->setValue(gain);
        child<QSlider>("ch1PositionSlider")->setValue(position);
        QVERIFY(f.waitForReplots(2));
        QTRY_VERIFY(triggerText()->visible());
        QVERIFY(levelLines().isEmpty());

        const double voltsPerDiv = 5.12 / (1 << gain);
        const double target = 256 + position + 64 * divisions; // plot value
        QCPItemPixmap *trigger = marker(6);
        const QPoint from = centre(trigger), to = pixelOf(100, target);
        press(from);
        move((from + to) / 2);
        move(to);
        // While held, one line at the level, in CH1's colour.
        const QList<double> lines = levelLines();
        QCOMPARE(lines.size(), 1);
        QVERIFY2(std::fabs(lines[0] - target) <= 2, qPrintable(QString::number(lines[0])));
        release(to);
        QCOMPARE(levelLines().size(), 1); // a moment after too
        QTRY_VERIFY_WITH_TIMEOUT(levelLines().isEmpty(), 3000);

        const QString text = triggerText()->text();
        QVERIFY2(text.startsWith("T ") && text.endsWith(" ↑"), qPrintable(text));
        const double count = voltsPerDiv / 32;
        QVERIFY2(std::fabs(voltsIn(text) - divisions * voltsPerDiv) <= count, qPrintable(text));
        // The volts of where the marker stands.
        const double markerValue = f.plot()->yAxis->pixelToCoord(centre(trigger).y());
        const double markerVolts = (markerValue - 256 - position) * voltsPerDiv / 64;
        QVERIFY2(std::fabs(voltsIn(text) - markerVolts) <= count, qPrintable(text));
        QCOMPARE(triggerText()->color(), f.plot()->graph(0)->pen().color());
    }

    void triggerReadoutOfOtherSources()
    {
        QVERIFY(f.startStreaming());
        // Free: nothing triggers, nothing to read.
        child<QRadioButton>("radioButtonFree")->click();
        QTRY_VERIFY(!triggerText()->visible());
        child<QRadioButton>("radioButtonNormal")->click();
        QTRY_VERIFY(triggerText()->visible());

        child<QRadioButton>("radioButtonWindow")->click();
        QTRY_VERIFY(triggerText()->text().contains(" … "));
        const QStringList levels = triggerText()->text().mid(2).split(" … ");
        QCOMPARE(levels.size(), 2);
        QVERIFY2(voltsIn("T " + levels[0]) < voltsIn("T " + levels[1]), qPrintable(triggerText()->text()));

        child<QCheckBox>("checkBoxCHDTrace")->setChecked(true);
        child<QRadioButton>("radioButtonFalling")->click();
        child<QComboBox>("comboBoxTrigSource")->setCurrentIndex(2 + 3);
        QTRY_COMPARE(triggerText()->text(), QString("T bit 3 ↓"));
        QCOMPARE(triggerText()->color(), logicGraph(3)->pen().color());
    }

    // ΔT and 1/ΔT lie clear of the vertical cursor markers wherever these
    // are dragged, and every cursor read-out is drawn over the markers and
    // lines, on the plot's background.
    void cursorReadoutsStayReadable()
    {
        QVERIFY(f.startStreaming(QSize(1200, 850)));
        QVERIFY(QTest::qWaitForWindowExposed(f.get()));
        child<QRadioButton>("radioButtonCursorCH1")->click();
        child<QCheckBox>("checkBoxCursorVertical")->click();
        QVERIFY(f.waitForReplots(2));
        const int right = f.plot()->axisRect()->rect().right();
        for (int index : {3, 2}) { // B, then A onto it
            const QPoint from = centre(marker(index));
            press(from);
            move(QPoint(right - 2, from.y()));
            release(QPoint(right - 2, from.y()));
        }
        QVERIFY(f.waitForReplots(2));
        const QImage picture = f.plot()->toPixmap().toImage();
        const QColor background = picture.pixelColor(picture.width() - 2, picture.height() - 2);
        const QCPLayer *layer = f.plot()->layer(QStringLiteral("main"));
        int lastMarker = -1;
        for (int i = 0; i < 9; ++i)
            lastMarker = std::max(lastMarker, layer->children().indexOf(marker(i)));
        for (const char *prefix : {"ΔT", "1/ΔT", "ΔV", "Va", "Vb"}) {
            QCPItemText *label = readout(QString::fromUtf8(prefix));
            QVERIFY2(label && label->visible(), prefix);
            QVERIFY2(layer->children().indexOf(label) > lastMarker, prefix);
            QCOMPARE(label->brush().color(), background);
            const QRectF text(label->topLeft->pixelPosition(), label->bottomRight->pixelPosition());
            for (int v : {2, 3}) {
                const QRectF m(QPointF(marker(v)->left->pixelPosition().x(), marker(v)->top->pixelPosition().y()),
                               QSizeF(marker(v)->pixmap().size()));
                QVERIFY2(!text.intersects(m), qPrintable(QString("%1 under vertical marker %2").arg(prefix).arg(v)));
            }
        }
    }

    // A press on the plot with no cursor channel says where to choose one;
    // with one chosen the info line is left alone.
    void pressWithoutCursorChannelGivesAHint()
    {
        QVERIFY(f.startStreaming(QSize(1200, 850)));
        QVERIFY(QTest::qWaitForWindowExposed(f.get()));
        QVERIFY(child<QRadioButton>("radioButtonCursorNone")->isChecked());
        auto *info = child<QLabel>("infoLabel");
        const QPoint empty = pixelOf(128, 420);
        press(empty);
        release(empty);
        const QString hint("Cursors: choose CH1 or CH2 under Cursors on the Options page");
        QCOMPARE(info->text(), hint);
        // The info line is on another page: the hint also shows at the pointer.
        QTRY_COMPARE(QToolTip::text(), hint);
        QToolTip::hideText();

        child<QRadioButton>("radioButtonCursorCH1")->click();
        info->setText(QStringLiteral("unchanged"));
        press(empty);
        move(empty + QPoint(0, 20));
        release(empty + QPoint(0, 20));
        QCOMPARE(info->text(), QString("unchanged"));
    }

    // Track: the horizontal cursors stand on the trace at the vertical ones;
    // Va and Vb read the volts where the markers stand, right after a drag,
    // after the next frame, and after a drag while stopped.
    void trackReadoutsMatchTheMarkers()
    {
        QVERIFY(f.startStreaming(QSize(1200, 1100)));
        QVERIFY(QTest::qWaitForWindowExposed(f.get()));
        child<QRadioButton>("radioButtonCursorCH1")->click();
        child<QCheckBox>("checkBoxCursorVertical")->click();
        child<QCheckBox>("checkBoxCursorTrack")->click();
        QVERIFY(f.waitForReplots(2));
        const double voltsPerDiv = 0.64; // the start gain
        const int zero = 256 + child<QSlider>("ch1PositionSlider")->value();
        // The read-outs' volts of the plot value where a horizontal marker's line stands.
        auto markerVolts = [&](int index) {
            const double value = std::round(f.plot()->yAxis->pixelToCoord(marker(index)->right->pixelPosition().y()));
            return (std::floor((value - zero + 256) / 4) - 63) * voltsPerDiv / 16;
        };
        auto readVolts = [&](const char *prefix) {
            return readout(QString::fromUtf8(prefix))->text().mid(5).trimmed().section(' ', 0, 0).toDouble();
        };
        auto matches = [&]() -> QString {
            const double va = readVolts("Va = "), vb = readVolts("Vb = ");
            if (std::fabs(va - markerVolts(0)) < 1e-6 && std::fabs(vb - markerVolts(1)) < 1e-6)
                return QString();
            return QString("Va %1 Vb %2, markers at %3 and %4").arg(va).arg(vb).arg(markerVolts(0)).arg(markerVolts(1));
        };
        auto dragVertical = [&](int index, int column) {
            const QPoint from = centre(marker(index)), to(pixelOf(column, 0).x(), from.y());
            press(from);
            move((from + to) / 2);
            move(to);
            release(to);
        };
        // A quarter period (8 columns at 1 ms/div) apart: other volts.
        dragVertical(3, 100);
        dragVertical(2, 36);
        QVERIFY(f.waitForReplots(1));
        QString miss = matches();
        QVERIFY2(miss.isEmpty(), qPrintable("after the drags: " + miss));
        const double before = readVolts("Va = ");
        dragVertical(2, 44);
        QVERIFY(f.waitForReplots(1));
        miss = matches();
        QVERIFY2(miss.isEmpty(), qPrintable("after a drag: " + miss));
        QVERIFY(readVolts("Va = ") != before);
        QVERIFY(f.waitForFrames(2));
        QVERIFY(f.waitForReplots(1));
        miss = matches();
        QVERIFY2(miss.isEmpty(), qPrintable("after a frame: " + miss));

        child<QAbstractButton>("stopButton")->click();
        QTRY_COMPARE(state(), QString("Stopped"));
        const double running = readVolts("Va = ");
        dragVertical(2, 52);
        QTRY_VERIFY(readVolts("Va = ") != running);
        miss = matches();
        QVERIFY2(miss.isEmpty(), qPrintable("stopped, after a drag: " + miss));
    }

    // Every marker, label and read-out of a source in that source's colour,
    // references dashed in their reference colour, the legend row on the
    // plot's background: in each theme.
    void coloursFollowTheSource_data()
    {
        QTest::addColumn<int>("theme");
        QTest::newRow("Dark") << 0;
        QTest::newRow("Light") << 1;
        QTest::newRow("Custom") << 2;
    }
    void coloursFollowTheSource()
    {
        QFETCH(int, theme);
        QVERIFY(f.startStreaming(QSize(1200, 850)));
        QVERIFY(QTest::qWaitForWindowExposed(f.get()));
        CustomColors colors = CustomColors::defaults();
        colors.setColor(QStringLiteral("CH1"), QColor(0, 160, 255));
        colors.setColor(QStringLiteral("CH2"), QColor(230, 200, 0));
        colors.setColor(QStringLiteral("CH1 REF"), QColor(120, 120, 255));
        colors.setColor(QStringLiteral("BIT 3"), QColor(200, 0, 200));
        colors.setColor(QStringLiteral("BACKGROUND"), QColor(20, 20, 60));
        if (theme == 2) {
            QVERIFY(QMetaObject::invokeMethod(f.get(), "setTheme", Qt::DirectConnection, Q_ARG(int, 2),
                                              Q_ARG(CustomColors *, &colors)));
        } else {
            auto *box = child<QComboBox>("comboBoxTheme");
            box->setCurrentIndex(theme);
            emit box->activated(theme);
        }
        const theme::Palette palette = theme::palette(theme, &colors);
        child<QCheckBox>("checkBoxCHDTrace")->setChecked(true);
        QVERIFY(f.waitForReplots(2));
        const QColor ch1 = palette.ch1.color(), ch2 = palette.ch2.color(), bit3 = palette.logic[3].color();
        QCOMPARE(f.plot()->graph(0)->pen().color(), ch1);

        // The trigger marker of CH1, recoloured by the theme alone; the zero markers.
        QVERIFY2(near(badgeOf(marker(6)), ch1), qPrintable(badgeOf(marker(6)).name()));
        QCOMPARE(triggerText()->color(), ch1);
        QVERIFY2(near(badgeOf(marker(4)), ch1), qPrintable(badgeOf(marker(4)).name()));
        QVERIFY2(near(badgeOf(marker(5)), ch2), qPrintable(badgeOf(marker(5)).name()));
        // CH2, then logic line 3 as the source.
        auto *source = child<QComboBox>("comboBoxTrigSource");
        source->setCurrentIndex(1);
        QTRY_VERIFY2(near(badgeOf(marker(6)), ch2), qPrintable(badgeOf(marker(6)).name()));
        QTRY_COMPARE(triggerText()->color(), ch2);
        source->setCurrentIndex(2 + 3);
        QTRY_VERIFY2(near(badgeOf(marker(6)), bit3), qPrintable(badgeOf(marker(6)).name()));
        QTRY_COMPARE(triggerText()->color(), bit3);
        QCOMPARE(bitLabel(3)->color(), bit3);
        QCOMPARE(logicGraph(3)->pen().color(), bit3);

        // References: dashed lines in the reference colours, in any drawing mode.
        child<QCheckBox>("checkBoxVectors")->click();
        const struct
        {
            int graph;
            QColor color;
        } references[] = {{1, palette.refCh1.color()}, {3, palette.refCh2.color()}};
        for (const auto &r : references) {
            const QCPGraph *g = f.plot()->graph(r.graph);
            QCOMPARE(g->pen().style(), Qt::DashLine);
            QCOMPARE(g->pen().color(), r.color);
            QCOMPARE(g->lineStyle(), QCPGraph::lsLine);
        }
        for (int n = 0; n < 8; ++n)
            QCOMPARE(f.plot()->graph(23 + 2 * n)->pen().style(), Qt::DashLine);
        QCOMPARE(f.plot()->graph(0)->lineStyle(), QCPGraph::lsNone); // the live trace in dots

        // The legend row: the plot's background, each channel's text in its colour.
        auto *pane = child<QWidget>("widget");
        auto *ch1Label = child<QLabel>("ch1Label");
        auto *timeLabel = child<QLabel>("timeLabel");
        const QImage row = pane->grab().toImage();
        const QPoint between((ch1Label->geometry().right() + timeLabel->geometry().left()) / 2,
                             ch1Label->geometry().center().y());
        QCOMPARE(row.pixelColor(between), palette.background.color());
        for (const auto &[name, color] : {std::pair<const char *, QColor>{"ch1Label", ch1}, {"ch2Label", ch2}}) {
            const QImage text = child<QLabel>(name)->grab().toImage();
            bool found = false;
            for (int y = 0; y < text.height() && !found; ++y)
                for (int x = 0; x < text.width() && !found; ++x)
                    found = near(text.pixelColor(x, y), color);
            QVERIFY2(found, name);
        }
    }

    // XY: one curve, its points in sampling order, on square divisions.
    void xyIsACurveInTimeOrder()
    {
        QVERIFY(f.startStreaming(QSize(1200, 850)));
        child<QCheckBox>("checkBoxVectors")->setChecked(true);
        child<QCheckBox>("checkBoxCHDTrace")->setChecked(true);
        QTRY_VERIFY(logicGraph(3)->dataCount() > 0);
        QTRY_VERIFY(bitLabel(3)->visible());
        child<QCheckBox>("xyMode")->click();
        QVERIFY(f.waitForFrames(2));
        QVERIFY(f.waitForReplots(2));
        // Only the curve: the logic lines and their labels are gone.
        for (int n = 0; n < 8; ++n) {
            QCOMPARE(logicGraph(n)->dataCount(), 0);
            QVERIFY(!bitLabel(n)->visible());
        }
        QCPCurve *curve = nullptr;
        for (int i = 0; i < f.plot()->plottableCount(); ++i)
            if (auto *c = qobject_cast<QCPCurve *>(f.plot()->plottable(i)))
                curve = c;
        QVERIFY(curve && curve->visible());
        QVERIFY(curve->dataCount() >= 128); // the samples on screen
        QCOMPARE(f.plot()->graph(0)->dataCount(), 0);
        // The sine on CH1 goes up and down: in sampling order the keys are not sorted.
        int turns = 0;
        double previous = 0, direction = 0;
        for (auto it = curve->data()->constBegin(); it != curve->data()->constEnd(); ++it) {
            if (it != curve->data()->constBegin() && it->key != previous) {
                const double d = it->key > previous ? 1 : -1;
                turns += direction != 0 && d != direction;
                direction = d;
            }
            previous = it->key;
        }
        QVERIFY2(turns >= 4, qPrintable(QString::number(turns)));
        // 32 CH1 counts across are as many pixels as 32 CH2 counts (64 units) up.
        const QCPAxis *x = f.plot()->xAxis, *y = f.plot()->yAxis;
        const double across = std::fabs(x->coordToPixel(32) - x->coordToPixel(0));
        const double up = std::fabs(y->coordToPixel(64) - y->coordToPixel(0));
        QVERIFY2(std::fabs(across - up) <= 1, qPrintable(QString("%1 %2").arg(across).arg(up)));

        child<QCheckBox>("xyMode")->click();
        QTRY_VERIFY(!curve->visible());
        QCOMPARE(x->range(), QCPRange(0, 256));
        QCOMPARE(y->range(), QCPRange(0, 512));
        QTRY_VERIFY(logicGraph(3)->dataCount() > 0); // back with the time traces
    }
};

QUORVEL_TEST_MAIN(TestReadingsWindow)
#include "test_readings_window.moc"
