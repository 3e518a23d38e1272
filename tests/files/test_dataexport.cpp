// The frame as CSV in seconds and volts, and the logic lines as VCD.
#include "quorveltest.h"

#include "display/scales.h"
#include "display/traces.h"
#include "files/dataexport.h"
#include "vcdreader.h"

#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cmath>

using dataexport::Frame;

namespace {

// A frame drawn from raw samples as the plot draws them: `rows` columns with
// the given column step, CH1 sample i % 256 and CH2 its mirror.
Frame rampFrame(int rows, int step, int position, double voltsPerDiv)
{
    Frame frame;
    for (int i = 0; i < rows; ++i) {
        frame.keys.append(i * step);
        frame.ch1.append(frame::channelValue(quint8(i), position));
        frame.ch2.append(frame::channelValue(quint8(255 - i), position));
        frame.logic.append(quint8(i));
    }
    frame.ch1VoltsPerDiv = frame.ch2VoltsPerDiv = voltsPerDiv;
    frame.ch1Zero = frame.ch2Zero = position + 256;
    frame.secondsPerDiv = 1e-3;
    frame.timeBaseText = "1ms/div";
    return frame;
}

// The cursor read-out's ΔT between two columns, in seconds.
double cursorDeltaT(int xa, int xb, double secondsPerDiv, int plotColumns = 256)
{
    const int a = int(std::floor(xa * 128.0 / plotColumns)), b = int(std::floor(xb * 128.0 / plotColumns));
    return (b - a) * secondsPerDiv * 8 * 0.0078125;
}

} // namespace

class TestDataExport : public QObject
{
    Q_OBJECT

private slots:
    void scaleTextsGiveTheirValues()
    {
        const QList<QString> times = scales::timeBaseTexts();
        const double seconds[] = {8e-6,  16e-6, 32e-6, 64e-6, 128e-6, 256e-6, 500e-6, 1e-3, 2e-3, 5e-3, 10e-3,
                                  20e-3, 50e-3, 0.1,   0.2,   0.5,    1,      2,      5,    10,   20,   50};
        QCOMPARE(times.size(), int(std::size(seconds)));
        for (int i = 0; i < times.size(); ++i)
            QCOMPARE(dataexport::secondsPerDivision(times[i]), seconds[i]);
        const QList<QString> gains = scales::gainTexts();
        const double volts[] = {5.12, 2.56, 1.28, 0.64, 0.32, 0.16, 0.08, 0};
        QCOMPARE(gains.size(), int(std::size(volts)));
        for (int i = 0; i < gains.size(); ++i)
            QCOMPARE(dataexport::voltsPerDivision(gains[i]), volts[i]);
        QCOMPARE(dataexport::secondsPerDivision("----"), 0.0);
    }

    // One division is 64 plot units, 32 sample counts; 0 V lies at the
    // channel's zero, position + 256, that is at sample 127 whatever the position.
    void voltsFromSamples_data()
    {
        QTest::addColumn<int>("sample");
        QTest::addColumn<int>("gain");
        QTest::addColumn<int>("position");
        QTest::addColumn<double>("volts");
        const int gains[] = {0, 3, 6};
        const double perDiv[] = {5.12, 0.64, 0.08};
        for (int g = 0; g < 3; ++g) {
            for (int position : {0, -64}) {
                const QByteArray tag =
                    "gain " + QByteArray::number(gains[g]) + " position " + QByteArray::number(position);
                QTest::newRow(tag + " zero") << 127 << gains[g] << position << 0.0;
                QTest::newRow(tag + " one division up") << 95 << gains[g] << position << perDiv[g];
                QTest::newRow(tag + " two divisions down") << 191 << gains[g] << position << -2 * perDiv[g];
                QTest::newRow(tag + " top") << 0 << gains[g] << position << 127.0 / 32 * perDiv[g];
                QTest::newRow(tag + " bottom") << 255 << gains[g] << position << -4.0 * perDiv[g];
            }
        }
    }
    void voltsFromSamples()
    {
        QFETCH(int, sample);
        QFETCH(int, gain);
        QFETCH(int, position);
        QFETCH(double, volts);
        const double perDiv = dataexport::voltsPerDivision(scales::gainTexts()[gain]);
        const double got =
            dataexport::volts(frame::channelValue(quint8(sample), position), position + 256, perDiv);
        QVERIFY2(std::fabs(got - volts) < 1e-12, qPrintable(QString::number(got, 'g', 17)));
    }

    void rowTimesAgreeWithTheCursorReadOut_data()
    {
        QTest::addColumn<int>("timeBase");
        QTest::addColumn<int>("step");
        QTest::addColumn<double>("rowStep");
        QTest::newRow("1ms/div: 128 samples, every second column") << 7 << 2 << 62.5e-6;
        QTest::newRow("8us/div") << 0 << 2 << 0.5e-6;
        QTest::newRow("0.2s/div: 256 samples") << 14 << 1 << 6.25e-3;
    }
    void rowTimesAgreeWithTheCursorReadOut()
    {
        QFETCH(int, timeBase);
        QFETCH(int, step);
        QFETCH(double, rowStep);
        Frame frame = rampFrame(256 / step, step, 0, 0.64);
        frame.secondsPerDiv = dataexport::secondsPerDivision(scales::timeBaseTexts()[timeBase]);
        for (int i = 1; i < frame.keys.size(); ++i) {
            const double dt = dataexport::columnTime(frame.keys[i], frame) -
                              dataexport::columnTime(frame.keys[i - 1], frame);
            QVERIFY(std::fabs(dt - rowStep) < 1e-12 * rowStep * 256);
        }
        // Whole screen: first row to the last sample column, and every pair of
        // rows at even columns, as the vertical cursors read them.
        for (int a = 0; a < frame.keys.size(); a += 7) {
            for (int b = a; b < frame.keys.size(); b += 13) {
                if (int(frame.keys[a]) % 2 || int(frame.keys[b]) % 2)
                    continue;
                const double rows = dataexport::columnTime(frame.keys[b], frame) -
                                    dataexport::columnTime(frame.keys[a], frame);
                const double cursors =
                    cursorDeltaT(int(frame.keys[a]), int(frame.keys[b]), frame.secondsPerDiv);
                QVERIFY(std::fabs(rows - cursors) <= 1e-12 * std::max(1e-9, std::fabs(cursors)));
            }
        }
    }

    void csvHasHeaderRowsAndEmptyColumnsForChannelsOff()
    {
        Frame frame = rampFrame(128, 2, 0, 0.64);
        frame.ch2.clear(); // CH2 off
        frame.lineOn[5] = false;
        const QByteArray text = dataexport::csv(frame);
        QVERIFY(text.endsWith('\n'));
        const QList<QByteArray> lines = text.chopped(1).split('\n');
        QCOMPARE(lines.size(), 129);
        QCOMPARE(lines[0], QByteArray("time_s,ch1_V,ch2_V,bit0,bit1,bit2,bit3,bit4,bit5,bit6,bit7"));
        for (int i = 1; i < lines.size(); ++i) {
            const QList<QByteArray> cells = lines[i].split(',');
            QCOMPARE(cells.size(), 11);
            const int row = i - 1;
            QCOMPARE(cells[0].toDouble(), row * 62.5e-6);
            QCOMPARE(cells[1].toDouble(), dataexport::volts(frame.ch1[row], 256, 0.64)); // round trip
            QVERIFY(cells[2].isEmpty());
            for (int n = 0; n < 8; ++n)
                QCOMPARE(cells[3 + n], n == 5 ? QByteArray() : QByteArray::number((row >> n) & 1));
        }
        QCOMPARE(lines[1].left(10), QByteArray("0.0000000,")); // 62.5 us between rows: 7 places
        QCOMPARE(lines[1 + 95].split(',')[1], QByteArray("0.64")); // sample 95: one division up
    }

    // Every CSV number is a whole number of its column's resolution (one
    // sample count, one sample interval), written with the decimals that
    // resolution needs, without exponent, and reads back as that multiple.
    void csvNumbersAtTheirResolution_data()
    {
        QTest::addColumn<int>("timeBase");
        QTest::addColumn<int>("step"); // columns per sample
        QTest::addColumn<int>("gain");
        QTest::addColumn<double>("interval"); // seconds between rows
        QTest::addColumn<int>("timeDecimals");
        QTest::addColumn<double>("count"); // volts per sample count
        QTest::addColumn<int>("voltDecimals");
        QTest::newRow("8us/div, 5.12V/div") << 0 << 2 << 0 << 0.5e-6 << 7 << 0.16 << 2;
        QTest::newRow("1ms/div, 1.28V/div") << 7 << 2 << 2 << 62.5e-6 << 7 << 0.04 << 2;
        QTest::newRow("500us/div, 80mV/div") << 6 << 2 << 6 << 31.25e-6 << 8 << 0.0025 << 4;
        QTest::newRow("0.2s/div, 0.16V/div") << 14 << 1 << 5 << 6.25e-3 << 5 << 0.005 << 3;
        QTest::newRow("50s/div, 0.64V/div") << 21 << 1 << 3 << 1.5625 << 4 << 0.02 << 2;
    }
    void csvNumbersAtTheirResolution()
    {
        QFETCH(int, timeBase);
        QFETCH(int, step);
        QFETCH(int, gain);
        QFETCH(double, interval);
        QFETCH(int, timeDecimals);
        QFETCH(double, count);
        QFETCH(int, voltDecimals);
        const int position = -37; // odd: 0 V at sample 127 whatever the position
        Frame frame = rampFrame(256 / step, step, position, 0);
        frame.secondsPerDiv = dataexport::secondsPerDivision(scales::timeBaseTexts()[timeBase]);
        frame.ch1VoltsPerDiv = frame.ch2VoltsPerDiv = dataexport::voltsPerDivision(scales::gainTexts()[gain]);
        QCOMPARE(dataexport::sampleInterval(frame), interval);
        QCOMPARE(dataexport::voltsPerCount(frame.ch1VoltsPerDiv), count);

        auto decimals = [](const QByteArray &cell) {
            const int point = cell.indexOf('.');
            return point < 0 ? 0 : cell.size() - point - 1;
        };
        // n within a millionth of a whole number, and that number.
        auto multiple = [](double value, double unit, qint64 *n) {
            const double steps = value / unit;
            *n = qRound64(steps);
            return std::fabs(steps - double(*n)) < 1e-6;
        };
        const QList<QByteArray> lines = dataexport::csv(frame).trimmed().split('\n');
        QCOMPARE(lines.size(), 1 + 256 / step);
        for (int row = 0; row < 256 / step; ++row) {
            const QList<QByteArray> cells = lines[row + 1].split(',');
            for (int c = 0; c < 3; ++c) {
                QVERIFY2(!cells[c].contains('e') && !(cells[c].startsWith('-') && cells[c].toDouble() == 0),
                         cells[c].constData());
                QCOMPARE(decimals(cells[c]), c == 0 ? timeDecimals : voltDecimals);
            }
            qint64 n = 0;
            QVERIFY2(multiple(cells[0].toDouble(), interval, &n), cells[0].constData());
            QCOMPARE(n, qint64(row));
            // CH1 holds sample row, CH2 sample 255 - row: counts above 0 V at sample 127.
            QVERIFY2(multiple(cells[1].toDouble(), count, &n), cells[1].constData());
            QCOMPARE(n, qint64(127 - row));
            QVERIFY2(multiple(cells[2].toDouble(), count, &n), cells[2].constData());
            QCOMPARE(n, qint64(row - 128));
        }
    }

    // A column with a value between two counts (a loaded wave may hold any
    // value) is not rounded: it keeps the shortest round-trip text.
    void csvValueOffTheCountsIsNotRounded()
    {
        Frame frame = rampFrame(4, 2, 0, 1.28);
        frame.ch1[2] += 0.5; // a quarter of a count
        const QList<QByteArray> lines = dataexport::csv(frame).trimmed().split('\n');
        QCOMPARE(lines[3].split(',')[1].toDouble(), dataexport::volts(frame.ch1[2], 256, 1.28));
        QCOMPARE(lines[3].split(',')[1], dataexport::number(dataexport::volts(frame.ch1[2], 256, 1.28)));
        QCOMPARE(lines[3].split(',')[2], QByteArray("-5.04")); // CH2 still at its resolution
    }

    void decimalsOfAResolution_data()
    {
        QTest::addColumn<double>("step");
        QTest::addColumn<int>("decimals");
        QTest::newRow("whole") << 2.0 << 0;
        QTest::newRow("count at 1.28V/div") << 1.28 / 32 << 2;
        QTest::newRow("count at 80mV/div") << 0.08 / 32 << 4;
        QTest::newRow("62.5us") << 62.5e-6 << 7;
        QTest::newRow("0.25us") << 8e-6 * 8 / 256 << 8;
        QTest::newRow("third: no end") << 1.0 / 3 << -1;
        QTest::newRow("zero") << 0.0 << -1;
        QTest::newRow("negative") << -0.5 << -1;
    }
    void decimalsOfAResolution()
    {
        QFETCH(double, step);
        QFETCH(int, decimals);
        QCOMPARE(dataexport::decimalsFor(step), decimals);
    }

    void fixedNumbers_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("noisy volts") << -1.1600000000000001 << 2 << QByteArray("-1.16");
        QTest::newRow("noisy time") << 7.999999999999999e-05 << 7 << QByteArray("0.0000800");
        QTest::newRow("zero keeps its places") << 0.0 << 3 << QByteArray("0.000");
        QTest::newRow("no negative zero") << -1e-18 << 2 << QByteArray("0.00");
        QTest::newRow("whole") << 12.0 << 0 << QByteArray("12");
        QTest::newRow("no decimals given") << 1.0 / 3 << -1 << QByteArray("0.3333333333333333");
    }
    void fixedNumbers()
    {
        QFETCH(double, value);
        QFETCH(int, decimals);
        QFETCH(QByteArray, text);
        QCOMPARE(dataexport::fixedNumber(value, decimals), text);
    }

    void numbersAreShortestRoundTrip_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("tenth") << 0.1 << QByteArray("0.1");
        QTest::newRow("sample step") << 62.5e-6 << QByteArray("6.25e-05");
        QTest::newRow("negative") << -20.48 << QByteArray("-20.48");
        QTest::newRow("zero") << 0.0 << QByteArray("0");
        QTest::newRow("third") << 1.0 / 3 << QByteArray("0.3333333333333333");
    }
    void numbersAreShortestRoundTrip()
    {
        QFETCH(double, value);
        QFETCH(QByteArray, text);
        QCOMPARE(dataexport::number(value), text);
        QCOMPARE(text.toDouble(), value);
    }

    void vcdOfAKnownPattern()
    {
        Frame frame;
        frame.keys = {0, 2, 4, 6};
        frame.logic = {0x00, 0x01, 0x01, 0x82};
        frame.secondsPerDiv = 1e-3;
        frame.timeBaseText = "1ms/div";
        frame.lineOn[6] = false;
        const QByteArray text =
            dataexport::vcd(frame, QDateTime(QDate(2026, 12, 10), QTime(14, 30, 52)), "Quorvel 1.1.0");
        const QByteArray expected = "$date\n    2026-12-10T14:30:52\n$end\n"
                                    "$version\n    Quorvel 1.1.0\n$end\n"
                                    "$comment\n    time base 1ms/div\n$end\n"
                                    "$timescale 100 ns $end\n"
                                    "$scope module logic $end\n"
                                    "$var wire 1 ! bit0 $end\n$var wire 1 \" bit1 $end\n"
                                    "$var wire 1 # bit2 $end\n$var wire 1 $ bit3 $end\n"
                                    "$var wire 1 % bit4 $end\n$var wire 1 & bit5 $end\n"
                                    "$var wire 1 ' bit6 $end\n$var wire 1 ( bit7 $end\n"
                                    "$upscope $end\n$enddefinitions $end\n"
                                    "#0\n$dumpvars\n0!\n0\"\n0#\n0$\n0%\n0&\nx'\n0(\n$end\n"
                                    "#625\n1!\n"
                                    "#1875\n0!\n1\"\n1(\n"
                                    "#2500\n";
        QCOMPARE(text, expected);

        QVERIFY(vcdBodyIsPlain(text));
        const ReadVcd vcd = readVcd(text);
        QVERIFY(vcd.ok);
        QCOMPARE(vcd.timescale, QByteArray("100 ns"));
        QCOMPARE(vcd.names.size(), 8);
        // Each row's levels, rebuilt from the changes up to its time.
        QMap<QByteArray, char> level;
        auto change = vcd.changes.constBegin();
        for (int row = 0; row < frame.keys.size(); ++row) {
            const qint64 tick = qint64(frame.keys[row] * 312.5); // 31.25 us per column in 100 ns
            for (; change != vcd.changes.constEnd() && change.key() <= tick; ++change)
                for (auto c = change.value().constBegin(); c != change.value().constEnd(); ++c)
                    level[c.key()] = c.value();
            for (int n = 0; n < 8; ++n) {
                const char want = n == 6 ? 'x' : (((frame.logic[row] >> n) & 1) ? '1' : '0');
                QCOMPARE(level.value("bit" + QByteArray::number(n)), want);
            }
        }
        QCOMPARE(vcd.lastTime, qint64(2500));
    }

    // A logic viewer's reader of value change dumps opens the file at the
    // file's own time scale and sees every row's levels at its time.
    void vcdOpensInALogicViewer()
    {
        const QString viewer = QStandardPaths::findExecutable("sigrok-cli");
        if (viewer.isEmpty())
            QSKIP("sigrok-cli is not installed");
        Frame frame = rampFrame(128, 2, 0, 0.64); // 1 ms/div: a row every 62.5 us
        QTemporaryDir dir;
        const QString path = dir.filePath("export.vcd");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(dataexport::vcd(frame, QDateTime::currentDateTime(), "Quorvel"));
        file.close();

        QProcess process;
        process.start(viewer, {"-I", "vcd", "-i", path, "-O", "csv"});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 0);
        QList<QByteArray> samples;
        QByteArray samplerate;
        for (const QByteArray &line : process.readAllStandardOutput().split('\n')) {
            if (line.startsWith("META samplerate:"))
                samplerate = line.mid(16).trimmed();
            else if (!line.isEmpty() && (line[0] == '0' || line[0] == '1'))
                samples.append(line);
        }
        QCOMPARE(samplerate, QByteArray("10000000")); // 100 ns
        QCOMPARE(samples.size(), 80000);              // 128 rows of 625 ticks
        for (int row = 0; row < frame.keys.size(); ++row) {
            const QList<QByteArray> bits = samples[row * 625].split(',');
            QCOMPARE(bits.size(), 8);
            for (int n = 0; n < 8; ++n)
                QCOMPARE(bits[n], QByteArray::number((row >> n) & 1));
        }
    }

    void vcdTimescaleMakesEverySampleTimeWhole_data()
    {
        QTest::addColumn<int>("timeBase");
        QTest::addColumn<int>("step");
        QTest::addColumn<QByteArray>("timescale");
        QTest::newRow("8us/div") << 0 << 2 << QByteArray("100 ns");
        QTest::newRow("500us/div") << 6 << 2 << QByteArray("10 ns");
        QTest::newRow("1ms/div") << 7 << 2 << QByteArray("100 ns");
        QTest::newRow("20ms/div, 256 samples") << 11 << 1 << QByteArray("1 us");
        QTest::newRow("50s/div") << 21 << 1 << QByteArray("100 us");
    }
    void vcdTimescaleMakesEverySampleTimeWhole()
    {
        QFETCH(int, timeBase);
        QFETCH(int, step);
        QFETCH(QByteArray, timescale);
        Frame frame = rampFrame(256 / step, step, 0, 0.64);
        frame.secondsPerDiv = dataexport::secondsPerDivision(scales::timeBaseTexts()[timeBase]);
        QByteArray text;
        const double unit = dataexport::vcdTimescale(frame, &text);
        QCOMPARE(text, timescale);
        for (double key : frame.keys) {
            const double ticks = dataexport::columnTime(key, frame) / unit;
            QVERIFY(std::fabs(ticks - std::round(ticks)) < 1e-6);
        }
    }

    // The check the capture tests put every VCD through: a body with anything
    // but time stamps and values (where some readers stop) fails it.
    void vcdBodyCheckRefusesWhatReadersStopAt_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("plain");
        QTest::newRow("stamps and values") << QByteArray("#0\n$dumpvars\n0!\nx\"\n$end\n#625\n1!\n#1250\n") << true;
        QTest::newRow("comment") << QByteArray("#0\n0!\n$comment frame 2 $end\n#625\n1!\n") << false;
        QTest::newRow("vector") << QByteArray("#0\n0!\nb10 #\n#625\n") << false;
        QTest::newRow("bad stamp") << QByteArray("#0\n0!\n#x1\n") << false;
    }
    void vcdBodyCheckRefusesWhatReadersStopAt()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, plain);
        const QByteArray header = "$timescale 100 ns $end\n$scope module logic $end\n$var wire 1 ! bit0 $end\n"
                                  "$var wire 1 \" bit1 $end\n$upscope $end\n$enddefinitions $end\n";
        QCOMPARE(vcdBodyIsPlain(header + body), plain);
    }
};

QUORVEL_CORE_TEST_MAIN(TestDataExport)
#include "test_dataexport.moc"
