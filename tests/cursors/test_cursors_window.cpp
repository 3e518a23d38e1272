// Cursors and trigger markers in the window against the simulated instrument:
// the mouse path (press, move, release on the plot), which marker a press
// takes, what each drag sends to the instrument, where the markers stand,
// and the cursor read-outs of the frame pass.

#include "app/quorvelinterface.h"
#include "quorveltest.h"
#include "simcontrol.h"
#include "themes/themepalette.h"
#include "windowfixture.h"

#include <qcustomplot.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>

#include <cmath>

namespace sim = quorvelsim;

namespace {
// Pixmap markers in the order the scene creates them, which is also the
// order a press tests them in, apart from the zero markers.
enum Marker { HA, HB, VA, VB, Ch1Zero, Ch2Zero, Trigger, Window1, Window2, MarkerCount };
const char *const markerNames[] = {"hCursorA", "hCursorB", "vCursorA", "vCursorB", "ch1Zero",
                                   "ch2Zero",  "trigger",  "window1",  "window2"};

QRectF markerRect(const QCPItemPixmap *m)
{
    // The hit test measures to the pixmap's rectangle.
    const QPointF topLeft(m->left->pixelPosition().x(), m->top->pixelPosition().y());
    return QRectF(topLeft, QSizeF(m->pixmap().size()));
}

QPointF markerCentre(const QCPItemPixmap *m)
{
    return markerRect(m).center();
}

QVector<sim::Command> registerWrites(int index)
{
    QVector<sim::Command> out;
    for (const sim::Command &c : sim::commandsWithLetter('b'))
        if (c.index == index)
            out.append(c);
    return out;
}
} // namespace

class TestCursorsWindow : public QObject
{
    Q_OBJECT

private:
    quorveltest::WindowFixture f;
    QuorvelInterface *window = nullptr;
    QCustomPlot *plot = nullptr;
    QList<QCPItemPixmap *> markers;

    template <typename T> T *child(const char *name) { return f.child<T>(name); }

    void waitForReplot(int count = 1) { QVERIFY(f.waitForReplots(count)); }

    // Mouse events through the window system, as a user's mouse arrives.
    QPoint toWindow(QPoint p) { return plot->mapTo(window, p); }
    void press(QPoint p) { QTest::mousePress(window->windowHandle(), Qt::LeftButton, {}, toWindow(p)); }
    void move(QPoint p) { QTest::mouseMove(window->windowHandle(), toWindow(p)); }
    void release(QPoint p) { QTest::mouseRelease(window->windowHandle(), Qt::LeftButton, {}, toWindow(p)); }
    void drag(QPoint from, QPoint to)
    {
        press(from);
        move(QPoint((from.x() + to.x()) / 2, (from.y() + to.y()) / 2));
        move(to);
        release(to);
    }
    // Closes the connection and connects again: the settings are read back
    // from the instrument, then `replots` replots are waited for.
    void reconnect(int replots)
    {
        QAbstractButton *connect = child<QAbstractButton>("connectButton");
        connect->click();
        sim::clearCommandLog();
        connect->click();
        QVERIFY(sim::waitForCommand('u'));
        QVERIFY(f.waitForReplots(replots));
    }
    QPoint grip(Marker m) { return markerCentre(markers[m]).toPoint(); }
    // Pixel of a plot point; the half unit makes the pixel's truncated
    // coordinate the whole value.
    QPoint pixelOf(double x, double y)
    {
        return QPoint(int(std::lround(plot->xAxis->coordToPixel(x + 0.5))),
                      int(std::lround(plot->yAxis->coordToPixel(y + 0.5))));
    }
    int plotX(QPoint p) { return int(plot->xAxis->pixelToCoord(p.x())); }
    int plotY(QPoint p) { return int(plot->yAxis->pixelToCoord(p.y())); }

    // A trigger type's icon for a source: the badge icon in the colour of the
    // source's trace; EXT, which has no trace, keeps the red icons.
    QImage iconOf(const QString &type, int source)
    {
        const QString images = QStringLiteral(":/Bitmaps/Bitmaps/");
        if (source == 10)
            return QPixmap(images + type + "r.png").toImage();
        const int graph = source == 0 ? 0 : source == 1 ? 2 : 22 + 2 * (source - 2);
        return QPixmap::fromImage(theme::tintedIcon(QImage(images + type + "g.png"), plot->graph(graph)->pen().color()))
            .toImage();
    }

    int highlighted()
    {
        int found = -1;
        for (int i = 0; i < MarkerCount; ++i) {
            if (markers[i]->pen().style() != Qt::NoPen) {
                if (found >= 0)
                    return -2; // more than one
                found = i;
            }
        }
        return found;
    }

    QCPItemText *readout(const QString &prefix)
    {
        for (int i = 0; i < plot->itemCount(); ++i)
            if (auto *t = qobject_cast<QCPItemText *>(plot->item(i)))
                if (t->text().startsWith(prefix))
                    return t;
        return nullptr;
    }

    void openWindow()
    {
        // A plot taller than its 512 value units: every unit has its own pixel.
        QVERIFY(f.startStreaming(QSize(1200, 1100)));
        QVERIFY(QTest::qWaitForWindowExposed(f.get()));
        window = f.get();
        plot = f.plot();
        markers.clear();
        for (int i = 0; i < plot->itemCount(); ++i)
            if (auto *p = qobject_cast<QCPItemPixmap *>(plot->item(i)))
                markers << p;
        QCOMPARE(markers.size(), int(MarkerCount));
        QVERIFY(f.waitForReplots(2));
    }

private slots:
    void init()
    {
        f.init();
        sim::setNoiseLevel(0);
        openWindow();
    }

    void cleanup()
    {
        f.cleanup();
        window = nullptr;
        plot = nullptr;
    }

    void pressWithinSevenPixelsSelects_data()
    {
        QTest::addColumn<int>("marker");
        QTest::addColumn<int>("distance");
        QTest::addColumn<int>("selected");
        for (Marker m : {HA, HB, VA, VB, Ch1Zero, Trigger}) {
            QTest::addRow("%s at 7 px", markerNames[m]) << int(m) << 7 << int(m);
            QTest::addRow("%s at 8 px", markerNames[m]) << int(m) << 8 << -1;
        }
    }

    void pressWithinSevenPixelsSelects()
    {
        QFETCH(int, marker);
        QFETCH(int, distance);
        QFETCH(int, selected);
        // To the right of the marker, level with its middle.
        const QRectF r = markerRect(markers[marker]);
        const QPoint at(int(r.right()) + distance, int(r.top()) + r.height() / 2);
        press(at);
        QCOMPARE(highlighted(), selected);
        // Holding and moving drags only a selected marker.
        sim::clearCommandLog();
        move(at + QPoint(0, 40));
        release(at + QPoint(0, 40));
        QCOMPARE(highlighted(), -1);
        if (selected < 0)
            QVERIFY(sim::commandsWithLetter('b').isEmpty() && sim::commandsWithLetter('j').isEmpty());
    }

    void overlappingMarkersFollowTheHitOrder()
    {
        // The trigger marker and both window markers at one level: the trigger
        // marker is tested first.
        for (int level : {25, 26, 27})
            sim::pokeRegister(level, 128);
        QVERIFY(window->instrumentSession().readSettings() == session::ReadOutcome::Read);
        QCOMPARE(markerCentre(markers[Trigger]), markerCentre(markers[Window1]));
        press(grip(Window1));
        QCOMPARE(highlighted(), int(Trigger));
        release(grip(Window1));

        // Both zero markers stand at 0 V: CH1 first.
        QCOMPARE(markerCentre(markers[Ch1Zero]), markerCentre(markers[Ch2Zero]));
        press(grip(Ch2Zero));
        QCOMPARE(highlighted(), int(Ch1Zero));
        release(grip(Ch2Zero));

        // At the slow time bases the trigger marker stands at the left edge,
        // over the zero markers: the zero marker is taken first.
        child<QSlider>("samplingSlider")->setValue(12);
        drag(grip(Trigger), QPoint(300, grip(Ch1Zero).y() + 2));
        const QRectF overlap = markerRect(markers[Trigger]).intersected(markerRect(markers[Ch1Zero]));
        QVERIFY(!overlap.isEmpty());
        const QPoint inside = overlap.center().toPoint();
        press(inside);
        QCOMPARE(highlighted(), int(Ch1Zero));
        release(inside);
        // A horizontal cursor dragged onto the zero level is taken before the zero marker.
        drag(grip(HA), QPoint(grip(HA).x(), grip(Ch1Zero).y()));
        const QRectF both = markerRect(markers[HA])
                                .intersected(markerRect(markers[Ch1Zero]))
                                .intersected(markerRect(markers[Trigger]));
        QVERIFY(!both.isEmpty());
        press(both.center().toPoint());
        QCOMPARE(highlighted(), int(HA));
        release(both.center().toPoint());
    }

    void dragWritesTheMarkersRegister_data()
    {
        QTest::addColumn<int>("marker");
        QTest::addColumn<QString>("cursorChannel");
        QTest::addColumn<QPointF>("target"); // plot coordinates
        QTest::addColumn<int>("reg");
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("positionRequest");
        // Relative value 302 (zero at 256): row 127 - 75 = 52.
        QTest::newRow("horizontal A on CH1") << int(HA) << "CH1" << QPointF(2, 302) << 17 << 52 << false;
        QTest::newRow("horizontal B on CH1") << int(HB) << "CH1" << QPointF(2, 130) << 18 << 95 << false;
        QTest::newRow("horizontal A on CH2") << int(HA) << "CH2" << QPointF(2, 402) << 19 << 27 << false;
        QTest::newRow("horizontal B on CH2") << int(HB) << "CH2" << QPointF(2, 58) << 20 << 113 << false;
        // Column 100 of 256 is instrument column 50.
        QTest::newRow("vertical A") << int(VA) << "" << QPointF(100, 250) << 15 << 50 << false;
        QTest::newRow("vertical B") << int(VB) << "" << QPointF(201, 250) << 16 << 100 << false;
        // Level 511 - 301 = 210: register 105.
        QTest::newRow("trigger level") << int(Trigger) << "" << QPointF(101, 301) << 25 << 105 << true;
        // Window levels 511 - 331 = 180 and 511 - 171 = 340.
        QTest::newRow("window level 1") << int(Window1) << "" << QPointF(101, 331) << 26 << 90 << true;
        QTest::newRow("window level 2") << int(Window2) << "" << QPointF(101, 171) << 27 << 170 << true;
    }

    void dragWritesTheMarkersRegister()
    {
        QFETCH(int, marker);
        QFETCH(QString, cursorChannel);
        QFETCH(QPointF, target);
        QFETCH(int, reg);
        QFETCH(int, value);
        QFETCH(bool, positionRequest);
        if (!cursorChannel.isEmpty())
            child<QRadioButton>(cursorChannel == "CH1" ? "radioButtonCursorCH1" : "radioButtonCursorCH2")
                ->click();
        if (marker == Window1 || marker == Window2) {
            // Pull the two window markers apart first, so each has its own grip.
            QTest::mouseClick(child<QRadioButton>("radioButtonWindow"), Qt::LeftButton);
        }
        const int scroll = child<QScrollBar>("horizontalScrollBar")->value();
        // The window markers share a point until one is dragged: a press there
        // takes the trigger marker, so their grip is reached from where the
        // trigger marker is not.
        if (marker == Window1 || marker == Window2)
            drag(grip(Trigger), pixelOf(40, 250));

        const QPoint to = pixelOf(target.x(), target.y());
        QCOMPARE(QPoint(plotX(to), plotY(to)), QPoint(int(target.x()), int(target.y())));
        sim::clearCommandLog();
        const QPoint from = grip(Marker(marker));
        press(from);
        QCOMPARE(highlighted(), marker);
        move(to);
        release(to);

        QTRY_VERIFY(!registerWrites(reg).isEmpty());
        QCOMPARE(int(registerWrites(reg).last().value), value);
        const QVector<sim::Command> requests = sim::commandsWithLetter('j');
        if (positionRequest) {
            QVERIFY(!requests.isEmpty());
            // Two plot columns a sample, counted from the scroll offset.
            QCOMPARE(int(requests.last().value), 256 - (scroll + int(target.x()) / 2));
            QCOMPARE(sim::peekRegister(22) | sim::peekRegister(23) << 8,
                     256 - (scroll + int(target.x()) / 2));
        } else {
            QVERIFY(requests.isEmpty());
        }
        QCOMPARE(int(sim::peekRegister(reg)), value);
    }

    void zeroMarkerDragMovesThePositionSlider_data()
    {
        QTest::addColumn<int>("marker");
        QTest::addColumn<int>("targetY"); // plot value, or -1 for the top of the plot
        QTest::addColumn<int>("slider");
        QTest::addColumn<int>("value"); // of register 29 or 30, through the slider's handler
        QTest::newRow("CH1 up") << int(Ch1Zero) << 320 << 64 << 0xA0;
        QTest::newRow("CH2 down") << int(Ch2Zero) << 192 << -64 << 0xE0;
        QTest::newRow("CH1 to the top clamps at 127") << int(Ch1Zero) << -1 << 127 << 0x81;
        QTest::newRow("CH2 to the top clamps at 127") << int(Ch2Zero) << -1 << 127 << 0x81;
    }

    void zeroMarkerDragMovesThePositionSlider()
    {
        QFETCH(int, marker);
        QFETCH(int, targetY);
        QFETCH(int, slider);
        QFETCH(int, value);
        const bool ch1 = marker == Ch1Zero;
        QSlider *position = child<QSlider>(ch1 ? "ch1PositionSlider" : "ch2PositionSlider");
        if (!ch1) {
            // CH1's marker lies over CH2's: move it out of the way first.
            child<QSlider>("ch1PositionSlider")->setValue(-128);
            waitForReplot();
            QVERIFY(!markerRect(markers[Ch1Zero]).intersects(markerRect(markers[Ch2Zero])));
        }
        sim::clearCommandLog();
        const QPoint from = grip(Marker(marker));
        const QPoint to = targetY < 0 ? QPoint(from.x(), 1) : QPoint(from.x(), pixelOf(0, targetY).y());
        press(from);
        QCOMPARE(highlighted(), marker);
        move(to);
        release(to);
        QCOMPARE(position->value(), slider);
        const int reg = ch1 ? 29 : 30;
        QVERIFY(!registerWrites(reg).isEmpty());
        QCOMPARE(int(registerWrites(reg).last().value), value);
        QCOMPARE(int(sim::peekRegister(reg)), value);
        // The marker stands at the zero level the slider now gives.
        waitForReplot();
        QVERIFY2(std::fabs(markerCentre(markers[marker]).y() - plot->yAxis->coordToPixel(256 + slider)) <=
                     1.0,
                 qPrintable(QString::number(markerCentre(markers[marker]).y())));
    }

    void triggerMarkerAtTheEdges_data()
    {
        QTest::addColumn<bool>("top");
        QTest::addColumn<int>("value");
        QTest::newRow("top edge") << true << 3;
        QTest::newRow("bottom edge") << false << 252;
    }

    void triggerMarkerAtTheEdges()
    {
        QFETCH(bool, top);
        QFETCH(int, value);
        sim::clearCommandLog();
        const QPoint to(plot->width() / 2, top ? 1 : plot->height() - 2);
        drag(grip(Trigger), to);
        QTRY_VERIFY(!registerWrites(25).isEmpty());
        QCOMPARE(int(registerWrites(25).last().value), value);
        // The marker stays whole inside the plot.
        const QPointF c = markerCentre(markers[Trigger]);
        QVERIFY2(c.y() >= 16 && c.y() <= plot->visibleRegion().boundingRect().bottom() - 16,
                 qPrintable(QString::number(c.y())));
    }

    void windowLevelStopsAtTheOther()
    {
        QTest::mouseClick(child<QRadioButton>("radioButtonWindow"), Qt::LeftButton);
        drag(grip(Trigger), pixelOf(40, 250));
        // Level 1 (upper) above level 2 (lower), well apart.
        drag(grip(Window2), pixelOf(101, 171));
        drag(grip(Window1), pixelOf(101, 331));
        QCOMPARE(int(sim::peekRegister(26)), 90);
        QCOMPARE(int(sim::peekRegister(27)), 170);

        // Level 1 pulled down past level 2: it stops short of it.
        sim::clearCommandLog();
        press(grip(Window1));
        QCOMPARE(highlighted(), int(Window1));
        for (int y = 321; y >= 101; y -= 10)
            move(pixelOf(101, y));
        release(pixelOf(101, 101));
        const QVector<sim::Command> writes = registerWrites(26);
        // Level 2 is 340 (register 170): level 1 stays a quarter division above it.
        QVERIFY(!writes.isEmpty());
        QVERIFY2(writes.last().value <= 170 - 8, qPrintable(QString::number(writes.last().value)));
        QCOMPARE(int(sim::peekRegister(27)), 170);
        QVERIFY(markerCentre(markers[Window1]).y() < markerCentre(markers[Window2]).y());

        // Level 2 pulled up past level 1: likewise.
        const int level1 = sim::peekRegister(26);
        sim::clearCommandLog();
        press(grip(Window2));
        QCOMPARE(highlighted(), int(Window2));
        for (int y : {161, 151, 181, 231, 301, 371, 451})
            move(pixelOf(101, y));
        release(pixelOf(101, 451));
        QVERIFY(!registerWrites(27).isEmpty());
        QVERIFY(registerWrites(27).last().value >= level1 + 8);
        QCOMPARE(int(sim::peekRegister(26)), level1);
        QVERIFY(markerCentre(markers[Window1]).y() < markerCentre(markers[Window2]).y());
    }

    void freeModeIgnoresTriggerDrags()
    {
        QTest::mouseClick(child<QRadioButton>("radioButtonFree"), Qt::LeftButton);
        QVERIFY(child<QRadioButton>("radioButtonFree")->isChecked());
        sim::clearCommandLog();
        for (Marker m : {Trigger, Window1, Window2}) {
            const QPointF before = markerCentre(markers[m]);
            press(markerCentre(markers[m]).toPoint());
            move(pixelOf(60, 100));
            release(pixelOf(60, 100));
            QCOMPARE(markerCentre(markers[m]), before);
        }
        for (const sim::Command &c : sim::commandLog())
            QVERIFY2(c.letter != 'j' && !(c.letter == 'b' && c.index >= 25 && c.index <= 27),
                     qPrintable(QString("%1 %2").arg(c.letter).arg(c.index)));
    }

    void slowTimeBaseKeepsTheTriggerMarkerAtTheLeftEdge()
    {
        child<QSlider>("samplingSlider")->setValue(11); // 20 ms/div
        for (int x : {40, 128, 250}) {
            drag(grip(Trigger), pixelOf(x, 300));
            QCOMPARE(markerCentre(markers[Trigger]).x(), 10.0);
        }
    }

    void slowTimeBaseMovesTheMarkerAtOnce()
    {
        QVERIFY(markers[Trigger]->visible());
        QVERIFY(markerCentre(markers[Trigger]).x() > 20);
        child<QSlider>("samplingSlider")->setValue(11);
        QCOMPARE(markerCentre(markers[Trigger]).x(), 10.0);
        child<QSlider>("samplingSlider")->setValue(7);
        QVERIFY(markerCentre(markers[Trigger]).x() > 20);
    }

    void triggerIcons_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("source");
        QTest::addColumn<bool>("inverted");
        QTest::addColumn<QString>("icon");
        QTest::newRow("rising, CH1") << "Rising" << 0 << false << "rising";
        QTest::newRow("rising, CH1 inverted: falling") << "Rising" << 0 << true << "falling";
        QTest::newRow("falling, CH2 inverted") << "Falling" << 1 << true << "rising";
        QTest::newRow("positive, CH1 inverted") << "Positive" << 0 << true << "negative";
        QTest::newRow("negative, CH2") << "Negative" << 1 << false << "negative";
        QTest::newRow("dual, CH1 inverted") << "Dual" << 0 << true << "dual";
        QTest::newRow("rising, bit 3") << "Rising" << 5 << false << "rising";
        QTest::newRow("falling, EXT") << "Falling" << 10 << false << "falling";
    }

    void triggerIcons()
    {
        QFETCH(QString, type);
        QFETCH(int, source);
        QFETCH(bool, inverted);
        QFETCH(QString, icon);
        child<QComboBox>("comboBoxTrigSource")->setCurrentIndex(source);
        if (inverted)
            child<QCheckBox>(source == 0 ? "checkBoxCH1Invert" : "checkBoxCH2Invert")->click();
        child<QRadioButton>(qPrintable("radioButton" + type))->click();
        QVERIFY(markers[Trigger]->visible());
        QCOMPARE(markers[Trigger]->pixmap().toImage(), iconOf(icon, source));
        QVERIFY(!markers[Window1]->visible() && !markers[Window2]->visible());
    }

    void iconFollowsInversionAndSourceChanges()
    {
        const auto shows = [this](const char *icon, int source) {
            return markers[Trigger]->pixmap().toImage() == iconOf(icon, source);
        };
        child<QComboBox>("comboBoxTrigSource")->setCurrentIndex(0);
        child<QRadioButton>("radioButtonRising")->click();
        QVERIFY(shows("rising", 0));
        // Inverting the source mirrors the icon, and back.
        child<QCheckBox>("checkBoxCH1Invert")->click();
        QVERIFY(shows("falling", 0));
        child<QCheckBox>("checkBoxCH1Invert")->click();
        QVERIFY(shows("rising", 0));
        // A rising trigger on inverted CH1, then CH2 (not inverted) as the
        // source: the icon is the rising one again, in CH2's colour.
        child<QCheckBox>("checkBoxCH1Invert")->click();
        QVERIFY(shows("falling", 0));
        child<QComboBox>("comboBoxTrigSource")->setCurrentIndex(1);
        QVERIFY(shows("rising", 1));
        // and back to CH1, still inverted
        child<QComboBox>("comboBoxTrigSource")->setCurrentIndex(0);
        QVERIFY(shows("falling", 0));
    }

    void windowAndFreeModeMarkers()
    {
        child<QComboBox>("comboBoxTrigSource")->setCurrentIndex(1);
        child<QRadioButton>("radioButtonWindow")->click();
        QVERIFY(markers[Window1]->visible() && markers[Window2]->visible());
        QVERIFY(!markers[Trigger]->visible());
        QCOMPARE(markers[Window1]->pixmap().toImage(), iconOf("window2", 1));
        QCOMPARE(markers[Window2]->pixmap().toImage(), iconOf("window1", 1));
        // The window markers stand at the two levels the instrument holds.
        const int position = child<QSlider>("ch2PositionSlider")->value();
        for (int k = 0; k < 2; ++k) {
            const int level = 2 * sim::peekRegister(26 + k);
            const double y = plot->yAxis->coordToPixel(position + 511 - level);
            QVERIFY2(std::fabs(markerCentre(markers[Window1 + k]).y() - y) <= 1.0,
                     qPrintable(QString("%1 %2").arg(markerCentre(markers[Window1 + k]).y()).arg(y)));
        }

        child<QRadioButton>("radioButtonFree")->click();
        for (Marker m : {Trigger, Window1, Window2})
            QVERIFY(!markers[m]->visible());
        child<QRadioButton>("radioButtonNormal")->click();
        QVERIFY(markers[Window1]->visible() && markers[Window2]->visible());
        child<QRadioButton>("radioButtonRising")->click();
        QVERIFY(markers[Trigger]->visible());
        QVERIFY(!markers[Window1]->visible() && !markers[Window2]->visible());
    }

    void windowTypeWithALogicSourceHidesTheWindowMarkers()
    {
        child<QComboBox>("comboBoxTrigSource")->setCurrentIndex(0);
        child<QRadioButton>("radioButtonWindow")->click();
        QVERIFY(markers[Window1]->visible() && markers[Window2]->visible());
        QCOMPARE(markers[Window1]->pixmap().toImage(), iconOf("window2", 0));
        // A logic line has no levels: both window markers go, the trigger
        // marker shows the line's edge in the line's colour.
        child<QComboBox>("comboBoxTrigSource")->setCurrentIndex(4);
        QVERIFY(!markers[Window1]->visible());
        QVERIFY(!markers[Window2]->visible());
        QVERIFY(markers[Trigger]->visible());
        QCOMPARE(markers[Trigger]->pixmap().toImage(), iconOf("rising", 4));
        // Reading the instrument's settings back shows the same.
        reconnect(1);
        QCOMPARE(child<QComboBox>("comboBoxTrigSource")->currentIndex(), 4);
        QVERIFY(!markers[Window1]->visible() && !markers[Window2]->visible());
        QVERIFY(markers[Trigger]->visible());
    }

    void droppedMarkersComeBackAfterReconnecting()
    {
        child<QRadioButton>("radioButtonNormal")->click();
        drag(grip(Trigger), pixelOf(151, 333));
        const QPointF dropped = markerCentre(markers[Trigger]);
        const int level = sim::peekRegister(25);
        reconnect(2);
        // Reading the settings back changed nothing in the instrument ...
        QCOMPARE(int(sim::peekRegister(25)), level);
        // ... and the marker is where it was dropped.
        const QPointF back = markerCentre(markers[Trigger]);
        QVERIFY2(std::fabs(back.x() - dropped.x()) <= 1.0 && std::fabs(back.y() - dropped.y()) <= 1.0,
                 qPrintable(QString("(%1, %2) -> (%3, %4)")
                                .arg(dropped.x())
                                .arg(dropped.y())
                                .arg(back.x())
                                .arg(back.y())));

        // Likewise the window levels, on CH2 with a position offset.
        child<QComboBox>("comboBoxTrigSource")->setCurrentIndex(1);
        child<QSlider>("ch2PositionSlider")->setValue(-48);
        child<QRadioButton>("radioButtonWindow")->click();
        drag(grip(Window1), pixelOf(61, 300));
        drag(grip(Window2), pixelOf(61, 201));
        const QPointF w1 = markerCentre(markers[Window1]), w2 = markerCentre(markers[Window2]);
        QVERIFY(w2.y() - w1.y() > 50);
        reconnect(2);
        QVERIFY(std::fabs(markerCentre(markers[Window1]).y() - w1.y()) <= 1.0);
        QVERIFY(std::fabs(markerCentre(markers[Window2]).y() - w2.y()) <= 1.0);
        QVERIFY(std::fabs(markerCentre(markers[Window1]).x() - w1.x()) <= 1.0);
    }

    // A trigger marker dropped on the trace's slope makes the instrument
    // trigger at that height: the rising trace crosses the marker's height
    // at the marker's column.
    void traceRisesThroughTheDroppedMarker_data()
    {
        QTest::addColumn<double>("level");
        QTest::newRow("below the middle") << 230.0;
        QTest::newRow("above the middle") << 290.0;
    }
    void traceRisesThroughTheDroppedMarker()
    {
        QFETCH(double, level);
        child<QRadioButton>("radioButtonNormal")->click();
        child<QRadioButton>("radioButtonRising")->click();
        drag(grip(Trigger), pixelOf(101, level));
        const QPointF c = markerCentre(markers[Trigger]);
        const double key = plot->xAxis->pixelToCoord(c.x());
        const double height = plot->yAxis->pixelToCoord(c.y());
        QVERIFY(f.waitForFrames(3));
        waitForReplot(2);
        const QCPGraph *ch1 = plot->graph(0);
        auto valueAt = [&](double k) { // the trace between its points
            auto it = ch1->data()->findBegin(k, false);
            if (it == ch1->data()->constEnd() || it == ch1->data()->constBegin())
                return qQNaN();
            auto prev = it - 1;
            return prev->value + (it->value - prev->value) * (k - prev->key) / (it->key - prev->key);
        };
        // The trace rises through the marker's height within a column of it.
        const double before = valueAt(key - 1), after = valueAt(key + 1);
        QVERIFY2(before <= height + 2 && after >= height - 2 && after > before,
                 qPrintable(QString("at key %1 height %2: %3 before, %4 after")
                                .arg(key)
                                .arg(height)
                                .arg(before)
                                .arg(after)));
    }

    void timeReadouts()
    {
        // Vertical cursors at columns 50 and 150, read from the instrument.
        sim::pokeRegister(15, 25);
        sim::pokeRegister(16, 75);
        QVERIFY(window->instrumentSession().readSettings() == session::ReadOutcome::Read);
        child<QCheckBox>("checkBoxCursorVertical")->click();
        child<QSlider>("samplingSlider")->setValue(7); // 1 ms/div
        QTRY_VERIFY(readout("ΔT") && readout("ΔT")->visible());
        // Cursors at columns 50 and 150; the first may lie under the second's grip.
        drag(grip(VB), pixelOf(150, 250));
        drag(grip(VA), pixelOf(50, 250));
        QTRY_COMPARE(readout("ΔT")->text(), QString("ΔT =  3.125 ms"));
        QCOMPARE(readout("1/ΔT")->text(), QString("1/ΔT =  320.0 Hz"));

        // Vertical cursor B onto A's column: no infinite frequency.
        drag(grip(VB), pixelOf(50, 250));
        QTRY_COMPARE(readout("1/ΔT")->text(), QString("1/ΔT = ----"));
        QCOMPARE(readout("ΔT")->text(), QString("ΔT =  0.000 ms"));

        // Seconds: 1/ΔT in Hz of the seconds.
        // Either marker may be taken where both stand; 114 is 32 instrument columns from 50.
        drag(grip(VB), pixelOf(114, 250));
        child<QSlider>("samplingSlider")->setValue(14); // 0.2 s/div
        QTRY_COMPARE(readout("ΔT")->text(), QString("ΔT =  0.400 s"));
        QCOMPARE(readout("1/ΔT")->text(), QString("1/ΔT =  2.500 Hz"));
    }

    void automaticCursorsTakeTheFramesExtremes()
    {
        child<QRadioButton>("radioButtonCursorCH1")->click();
        child<QCheckBox>("checkBoxCursorAuto")->click();
        waitForReplot(2);
        const QCPGraph *ch1 = plot->graph(0);
        QVERIFY(ch1->data()->size() > 100);
        double low = 1e9, high = -1e9;
        for (auto it = ch1->data()->constBegin(); it != ch1->data()->constEnd(); ++it) {
            low = std::min(low, it->value);
            high = std::max(high, it->value);
        }
        QVERIFY2(high - low > 32, "the simulated signal spans less than half a division");
        // The markers' lines stand at the extremes of the frame just drawn.
        const double a = markers[HA]->right->pixelPosition().y();
        const double b = markers[HB]->right->pixelPosition().y();
        QVERIFY2(std::fabs(a - plot->yAxis->coordToPixel(std::floor(low))) <= 1.0,
                 qPrintable(QString("%1 %2").arg(a).arg(plot->yAxis->coordToPixel(low))));
        QVERIFY(std::fabs(b - plot->yAxis->coordToPixel(std::floor(high))) <= 1.0);

        // The next frame's read-outs show the stored values in volts (0.64 V/div).
        const int zero = 256 + child<QSlider>("ch1PositionSlider")->value();
        auto volts = [](int relative) { return (std::floor(relative / 4.0) - 63) * 0.64 / 16; };
        QSignalSpy replots(plot, &QCustomPlot::afterReplot);
        QTRY_VERIFY(replots.count() >= 1);
        auto number = [this](const char *prefix) {
            return readout(prefix)->text().mid(5).trimmed().section(' ', 0, 0).toDouble();
        };
        const double va = number("Va = ");
        const double vb = number("Vb = ");
        // The signal may have moved by a count between frames.
        QVERIFY2(std::fabs(va - volts(int(std::floor(low)) + 256 - zero)) <= 0.045,
                 qPrintable(readout("Va = ")->text()));
        QVERIFY2(std::fabs(vb - volts(int(std::floor(high)) + 256 - zero)) <= 0.045,
                 qPrintable(readout("Vb = ")->text()));
        QVERIFY(readout("Va = ")->text().endsWith(" V"));
        // Nothing is written: the instrument runs the same mode itself.
        sim::clearCommandLog();
        waitForReplot(3);
        for (const sim::Command &c : sim::commandsWithLetter('b'))
            QVERIFY(c.index < 17 || c.index > 20);
    }

    void trackingCursorsFollowTheTraceAtTheVerticalCursors()
    {
        child<QRadioButton>("radioButtonCursorCH1")->click();
        child<QCheckBox>("checkBoxCursorVertical")->click();
        child<QCheckBox>("checkBoxCursorTrack")->click();
        drag(grip(VB), pixelOf(200, 250));
        waitForReplot(2);
        const QCPGraph *ch1 = plot->graph(0);
        // The tracers sit on the trace where the vertical cursor lines cross it.
        QList<QCPItemTracer *> shown;
        for (int i = 0; i < plot->itemCount(); ++i)
            if (auto *t = qobject_cast<QCPItemTracer *>(plot->item(i)))
                if (t->visible())
                    shown << t;
        QCOMPARE(shown.size(), 2);
        for (int k = 0; k < 2; ++k) {
            const Marker v = k == 0 ? VA : VB;
            const Marker h = k == 0 ? HA : HB;
            QCOMPARE(shown[k]->graph(), ch1);
            const double lineX = markers[v]->bottom->pixelPosition().x();
            QVERIFY(std::fabs(shown[k]->position->pixelPosition().x() - lineX) <= 1.0);
            // The trace's value at that key, read from the graph's own data.
            const double key = shown[k]->graphKey();
            auto after = ch1->data()->findBegin(key, false);
            QVERIFY(after != ch1->data()->constEnd());
            auto before = after == ch1->data()->constBegin() ? after : after - 1;
            const double lo = std::min(before->value, after->value),
                         hi = std::max(before->value, after->value);
            const double cursor = plot->yAxis->pixelToCoord(markers[h]->right->pixelPosition().y());
            QVERIFY2(cursor >= std::floor(lo) - 1.5 && cursor <= hi + 1.5,
                     qPrintable(QString("%1 not within %2..%3").arg(cursor).arg(lo).arg(hi)));
        }
    }

    void triggerMarkerOnALogicLine()
    {
        // Bit 0 as the trigger source: the marker stands on the line's high level.
        child<QCheckBox>("checkBoxCHDTrace")->setChecked(true);
        child<QComboBox>("comboBoxTrigSource")->setCurrentIndex(2);
        const int scroll = child<QScrollBar>("horizontalScrollBar")->value();
        sim::clearCommandLog();
        drag(grip(Trigger), pixelOf(101, 300));
        QVERIFY(registerWrites(25).isEmpty());
        QVERIFY(!sim::commandsWithLetter('j').isEmpty());
        QCOMPARE(int(sim::commandsWithLetter('j').last().value), 256 - (scroll + 50));
        waitForReplot(2);
        const QCPGraph *bit0 = plot->graph(22); // after CH1, CH2, their references and histories
        QVERIFY(bit0->dataCount() > 0);
        double high = -1e9;
        for (auto it = bit0->data()->constBegin(); it != bit0->data()->constEnd(); ++it)
            high = std::max(high, it->value);
        const QPointF c = markerCentre(markers[Trigger]);
        QVERIFY2(std::fabs(c.y() - plot->yAxis->coordToPixel(high)) <= 1.0,
                 qPrintable(QString::number(c.y())));
        QVERIFY(std::fabs(c.x() - plot->xAxis->coordToPixel(100)) <= 1.0);
    }

    void sweepRangeReadout_data()
    {
        QTest::addColumn<QString>("sweep");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("end");
        QTest::addColumn<QString>("startText");
        QTest::addColumn<QString>("endText");
        QTest::addColumn<QString>("unit");
        // 1 ms/div: rate 32000 / 256 = 125; 64 * 125 / 2000 = 4
        QTest::newRow("frequency") << "Frequency" << 64 << 255 << "4"
                                   << "15.9375"
                                   << "Hz";
        QTest::newRow("amplitude") << "Amplitude" << 64 << 255 << "1"
                                   << "3.98438"
                                   << "V";
        QTest::newRow("offset") << "Offset" << 0 << 255 << "-1.98565"
                                << "2"
                                << "V";
        QTest::newRow("duty cycle") << "DutyCycle" << 128 << 200 << "50.0006"
                                    << "78.126"
                                    << "%";
    }

    void sweepRangeReadout()
    {
        QFETCH(QString, sweep);
        QFETCH(int, start);
        QFETCH(int, end);
        QFETCH(QString, startText);
        QFETCH(QString, endText);
        QFETCH(QString, unit);
        child<QSlider>("samplingSlider")->setValue(7); // 1 ms/div
        for (const char *other : {"Frequency", "Amplitude", "Offset", "DutyCycle"})
            if (child<QCheckBox>(qPrintable(QString("checkBoxSweep") + other))->isChecked())
                child<QCheckBox>(qPrintable(QString("checkBoxSweep") + other))->click();
        child<QCheckBox>(qPrintable("checkBoxSweep" + sweep))->click();
        child<QSlider>("sweepEndFreqSlider")->setValue(end);
        child<QSlider>("sweepStartFreqSlider")->setValue(start);
        QCOMPARE(child<QLineEdit>("startFreqText")->text(), startText);
        QCOMPARE(child<QLineEdit>("endFreqText")->text(), endText);
        QCOMPARE(child<QLabel>("labelUnitStart")->text(), unit);
        QCOMPARE(child<QLabel>("labelUnitEnd")->text(), unit);
    }

    void resizeKeepsVerticalCursorsOnTheirColumns()
    {
        // The columns the instrument holds: two plot columns per instrument column.
        const double a = 2 * sim::peekRegister(15), b = 2 * sim::peekRegister(16);
        QVERIFY(a != b);
        for (QSize size : {QSize(900, 800), QSize(1400, 1000)}) {
            window->resize(size);
            QTRY_VERIFY(std::fabs(markers[VA]->bottom->pixelPosition().x() - plot->xAxis->coordToPixel(a)) <=
                        1.0);
            QVERIFY(std::fabs(markers[VB]->bottom->pixelPosition().x() - plot->xAxis->coordToPixel(b)) <=
                    1.0);
            QCOMPARE(readout("ΔT")->position->pixelPosition(), QPointF(plot->width() - 25, 40));
        }
    }
};

QUORVEL_TEST_MAIN(TestCursorsWindow)
#include "test_cursors_window.moc"
