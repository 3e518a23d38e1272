// quorvel-cli without a process: the command line, the value texts and their
// accepted lists, the register writes the options plan, and the capture files.

#include "cli/capturefile.h"
#include "cli/options.h"
#include "files/recording.h"
#include "files/srsession.h"
#include "quorveltest.h"
#include "vcdreader.h"

#include <QTemporaryDir>

using namespace cli;

namespace {
// The simulated instrument's factory block, as quorvel-cli info shows it.
reg::DeviceSettings factoryLikeBlock()
{
    reg::DeviceSettings b;
    b[reg::SamplingRate] = 7; // 1ms/div
    b[reg::Trigger] = 132;
    b[reg::Gain1] = 3; // 0.64V/div
    b[reg::Gain2] = 3;
    b[reg::HPos] = 64;
    b[reg::TriggerSource] = 0;
    b[reg::TriggerLevel] = 128;
    b[reg::Spectrum] = 32;
    b[reg::Ch1Position] = 192;
    b[reg::Ch2Position] = 192;
    b[reg::LogicPosition] = 5;
    b[reg::Amplitude] = 64;
    b[reg::Waveform] = 1;
    b[reg::DutyCycle] = 128;
    b.setDesiredFrequency(100000);
    return b;
}

QStringList words(const char *text)
{
    return QString::fromLatin1(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

// A frame whose samples are all different, so a sample taken from the wrong
// place shows.
QByteArray patternFrame()
{
    QByteArray f(frame::Size, 0);
    for (int i = 0; i < 256; ++i) {
        f[i] = char((i * 7 + 3) & 0xFF);
        f[256 + i] = char(255 - i);
        f[512 + i] = char((i * 13) & 0xFF);
    }
    return f;
}
} // namespace

class TestCliOptions : public QObject
{
    Q_OBJECT

private slots:
    void badValuesAreRefusedWithTheAcceptedList_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("accepted"); // a part of the error line
        QTest::newRow("timebase") << "capture --out x.csv --timebase 3ms" << "accepted: 8us 16us";
        QTest::newRow("gain") << "capture --out x.csv --ch1 0.5V" << "accepted: 5.12V 2.56V 1.28V 0.64V 0.32V 0.16V 80mV";
        QTest::newRow("source") << "capture --out x.csv --trigger-source ch3" << "accepted: ch1 ch2 bit0";
        QTest::newRow("mode") << "capture --out x.csv --trigger-mode rolling" << "accepted: auto normal single";
        QTest::newRow("level") << "capture --out x.csv --trigger-level high" << "no voltage";
        QTest::newRow("extension") << "capture --out x.txt" << "accepted: .csv .vcd .sr .omx";
        QTest::newRow("format") << "capture --out - --format txt" << "accepted: csv vcd sr omx";
        QTest::newRow("stdout sr") << "capture --out - --format sr" << "standard output takes csv or vcd";
        QTest::newRow("no out") << "capture --frames 3" << "--out FILE is needed";
        QTest::newRow("frames 0") << "capture --out x.csv --frames 0" << "above 0";
        QTest::newRow("frames text") << "capture --out x.csv --frames many" << "above 0";
        QTest::newRow("seconds") << "capture --out x.csv --seconds -1" << "above 0";
        QTest::newRow("unknown option") << "capture --out x.csv --colour red" << "Unknown option";
        QTest::newRow("meter kind") << "meter ohms" << "accepted: vpp vdc freq pulses";
        QTest::newRow("meter none") << "meter" << "accepted: vpp vdc freq pulses";
        QTest::newRow("interval") << "meter vpp --interval 5" << "10 to 86400000";
        QTest::newRow("source on vpp") << "meter vpp --source ext" << "only for freq and pulses";
        QTest::newRow("counter source") << "meter freq --source ch1" << "bit0 ... bit7 ext";
        // The window's controls show no more than 100 kHz: the command line
        // leaves nothing in the instrument that the window would clamp.
        QTest::newRow("frequency") << "generate --frequency 200k" << "accepted: 1 to 100000 Hz";
        QTest::newRow("frequency just above") << "generate --frequency 100000.01" << "accepted: 1 to 100000 Hz";
        QTest::newRow("frequency nan") << "generate --frequency nan" << "accepted: 1 to 100000 Hz";
        QTest::newRow("amplitude") << "generate --amplitude 5" << "accepted: 0 to 4 V";
        QTest::newRow("offset") << "generate --offset -2.5V" << "accepted: -2 to 2 V";
        QTest::newRow("duty") << "generate --duty 100" << "accepted: 0 to 99.9 %";
        QTest::newRow("waveform") << "generate --waveform sawtooth" << "accepted: noise sine square";
        QTest::newRow("csv with sine") << "generate --waveform sine --csv w.csv" << "--waveform custom only";
        QTest::newRow("command") << "scan" << "accepted: list info capture meter generate";
        QTest::newRow("empty port") << "info --port" << "Missing value";
    }
    void badValuesAreRefusedWithTheAcceptedList()
    {
        QFETCH(QString, arguments);
        QFETCH(QString, accepted);
        const Parsed p = parse(arguments.split(QLatin1Char(' ')));
        QVERIFY(!p.ok);
        QVERIFY2(p.text.contains(accepted), qPrintable(p.text));
        QVERIFY2(!p.text.contains(QLatin1Char('\n')), "one line");
    }

    void captureOptionsReadAsTheWindowNamesThem()
    {
        const Parsed p = parse(words("capture --frames 100 --seconds 2.5 --out run.vcd --timebase 500us/div "
                                     "--ch1 80mV --ch2 1.28V/div --trigger-source bit3 --trigger-level -200mV "
                                     "--trigger-mode single --port rfcomm0"));
        QVERIFY2(p.ok, qPrintable(p.text));
        QCOMPARE(int(p.command), int(Command::Capture));
        QCOMPARE(p.common.port, QStringLiteral("rfcomm0"));
        const CaptureOptions &c = p.capture;
        QCOMPARE(c.frames, qint64(100));
        QCOMPARE(c.seconds, 2.5);
        QCOMPARE(int(c.format), int(Format::Vcd));
        QCOMPARE(c.timeBase, 6);
        QCOMPARE(c.ch1Gain, 6);
        QCOMPARE(c.ch2Gain, 2);
        QCOMPARE(c.triggerSource, ::trigger::FirstLogicSource + 3);
        QVERIFY(c.triggerLevelSet);
        QCOMPARE(c.triggerLevel, -0.2);
        QCOMPARE(c.triggerMode, int(reg::Single));

        // Every text of the list reads back as its own index.
        const QStringList bases = timeBaseChoices().split(QLatin1Char(' '));
        QCOMPARE(bases.size(), 22);
        for (int i = 0; i < bases.size(); ++i)
            QCOMPARE(timeBaseIndex(bases[i]), i);
        QCOMPARE(timeBaseIndex(QString::fromUtf8("8\xC2\xB5s/div")), 0);
        const QStringList gains = gainChoices().split(QLatin1Char(' '));
        for (int i = 0; i < gains.size(); ++i)
            QCOMPARE(gainIndex(gains[i]), i);
        QCOMPARE(gainIndex(QStringLiteral("----")), -1);
    }

    void helpOnEveryCommand()
    {
        for (const char *command : {"list", "info", "capture", "meter", "generate"}) {
            const Parsed p = parse({QLatin1String(command), QStringLiteral("--help")});
            QVERIFY(p.ok && p.help);
            QVERIFY2(p.text.startsWith(QStringLiteral("usage: quorvel-cli ") + QLatin1String(command)),
                     qPrintable(p.text));
            QVERIFY(p.text.contains(QStringLiteral("--port")));
        }
        const Parsed top = parse({QStringLiteral("--help")});
        QVERIFY(top.ok && top.help && top.text.contains(QStringLiteral("Exit codes")));
    }

    void captureWithoutSettingsWritesNothing()
    {
        CapturePlan plan;
        QString error;
        const reg::DeviceSettings block = factoryLikeBlock();
        QVERIFY(planCapture(block, CaptureOptions(), false, &plan, &error));
        QVERIFY(plan.writes.isEmpty());
        QCOMPARE(plan.block, block);
        // Settings equal to those held write nothing either.
        CaptureOptions same;
        same.timeBase = 7;
        same.ch1Gain = 3;
        same.triggerSource = 0;
        QVERIFY(planCapture(block, same, false, &plan, &error));
        QVERIFY(plan.writes.isEmpty());
    }

    void captureSettingsBecomeTheirRegisters()
    {
        CaptureOptions o;
        o.timeBase = 12;
        o.ch2Gain = 5;
        o.triggerSource = ::trigger::SourceCh2;
        o.triggerLevelSet = true;
        o.triggerLevel = 0.16; // one division at 0.16V/div: 32 samples above 0 V
        o.triggerMode = reg::Normal;
        o.roll = true;
        CapturePlan plan;
        QString error;
        QVERIFY2(planCapture(factoryLikeBlock(), o, false, &plan, &error), qPrintable(error));
        reg::TriggerSettings trigger = reg::decodeTrigger(132);
        trigger.mode = reg::Normal;
        reg::CursorSettings cursors;
        cursors.roll = true;
        const QVector<Write> expected = {{reg::SamplingRate, 12},
                                         {reg::Gain2, 5},
                                         {reg::TriggerSource, 1},
                                         {reg::TriggerLevel, 127 - 32},
                                         {reg::Trigger, reg::encodeTrigger(trigger)},
                                         {reg::Cursors, reg::encodeCursors(cursors)}};
        QCOMPARE(plan.writes, expected);
        QCOMPARE(plan.timeBase, 12);
        QVERIFY(plan.roll);
    }

    void capturePlanRefusals_data()
    {
        QTest::addColumn<int>("timeBase");
        QTest::addColumn<int>("source");
        QTest::addColumn<double>("level"); // NaN: none
        QTest::addColumn<bool>("roll");
        QTest::addColumn<bool>("serial");
        QTest::addColumn<QString>("message");
        const double none = std::nan("");
        QTest::newRow("level above the screen") << -1 << -1 << 2.5 << false << false << "accepted: -2.5V to 2.48V";
        QTest::newRow("level below the screen") << -1 << -1 << -2.6 << false << false << "accepted: -2.5V to 2.48V";
        QTest::newRow("level on a logic source") << -1 << 4 << 0.1 << false << false << "needs ch1 or ch2";
        QTest::newRow("roll at 1ms") << -1 << -1 << none << true << false << "accepted: 20ms 50ms";
        QTest::newRow("serial at 0.1s") << 13 << -1 << none << false << true << "accepted: 8us";
    }
    void capturePlanRefusals()
    {
        QFETCH(int, timeBase);
        QFETCH(int, source);
        QFETCH(double, level);
        QFETCH(bool, roll);
        QFETCH(bool, serial);
        QFETCH(QString, message);
        CaptureOptions o;
        o.timeBase = timeBase;
        o.triggerSource = source;
        o.triggerLevelSet = !std::isnan(level);
        o.triggerLevel = std::isnan(level) ? 0 : level;
        o.roll = roll;
        CapturePlan plan;
        plan.timeBase = -5;
        QString error;
        QVERIFY(!planCapture(factoryLikeBlock(), o, serial, &plan, &error));
        QVERIFY2(error.contains(message), qPrintable(error));
        QCOMPARE(plan.timeBase, -5); // the plan is left as it was
    }

    void generatorTakesTheWindowsArithmetic()
    {
        const Parsed p =
            parse(words("generate --waveform square --frequency 2.5k --amplitude 1.5V --offset -500mV --duty 25%"));
        QVERIFY2(p.ok, qPrintable(p.text));
        GeneratorPlan plan;
        QString error;
        QVERIFY(planGenerator(factoryLikeBlock(), p.generate, &plan, &error));
        const QVector<Write> expected = {{reg::Amplitude, reg::encodeAmplitude(1.5)},
                                         {reg::DutyCycle, reg::encodeDutyCycle(25)},
                                         {reg::Offset, reg::encodeOffset(-0.5)},
                                         {reg::Waveform, 2}};
        QCOMPARE(plan.writes, expected);
        QVERIFY(plan.frequencyRequest);
        QCOMPARE(plan.hertz, 2500.0);
        // The frequency the instrument holds is asked for again by nobody.
        GenerateOptions same;
        same.frequencySet = true;
        same.frequency = 1000;
        QVERIFY(planGenerator(factoryLikeBlock(), same, &plan, &error));
        QVERIFY(!plan.frequencyRequest && plan.writes.isEmpty());
    }

    void customWaveFromFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("wave.csv");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("0,10\n-20,127\n");
        f.close();
        GenerateOptions o;
        o.csv = path;
        o.waveform = 5;
        GeneratorPlan plan;
        QString error;
        QVERIFY2(planGenerator(factoryLikeBlock(), o, &plan, &error), qPrintable(error));
        QVERIFY(plan.uploadWave);
        QCOMPARE(int(plan.wave[1]), 10);
        QCOMPARE(int(plan.wave[2]), -20);
        QCOMPARE(plan.writes, (QVector<Write>{{reg::Waveform, 5}}));
        o.csv = dir.filePath("missing.csv");
        QVERIFY(!planGenerator(factoryLikeBlock(), o, &plan, &error));
        QVERIFY(error.contains(QStringLiteral("could not be opened")));
    }

    // The CSV of a capture: every sample of the record, by the export's
    // formula, in blocks numbered by frame.
    void csvHoldsWholeRecordsByTheExportsFormula()
    {
        const QByteArray frameBytes = patternFrame();
        const auto *data = reinterpret_cast<const unsigned char *>(frameBytes.constData());
        QTemporaryDir dir;
        FrameScales scales = FrameScales::of(factoryLikeBlock());
        QCOMPARE(scales.ch1Position, 0);
        std::unique_ptr<CaptureFile> file = CaptureFile::create(Format::Csv);
        QString error;
        QVERIFY(file->open(dir.filePath("c.csv"), scales, &error));
        QVERIFY(file->append(data, 0.00125));
        QVERIFY(file->append(data, 0.0178));
        QVERIFY(file->finish());
        QFile f(dir.filePath("c.csv"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = f.readAll().split('\n');
        QCOMPARE(lines.size(), 1 + 2 * 256 + 1); // the last is empty
        QCOMPARE(lines[0],
                 QByteArray("frame,frame_time_s,time_s,ch1_V,ch2_V,bit0,bit1,bit2,bit3,bit4,bit5,bit6,bit7"));
        const QByteArray arrived[2] = {"0.001250", "0.017800"}; // to the microsecond
        for (int k = 0; k < 2; ++k) {
            for (int i = 0; i < 256; ++i) {
                const QList<QByteArray> cells = lines[1 + k * 256 + i].split(',');
                QCOMPARE(cells.size(), 13);
                QCOMPARE(cells[0].toInt(), k + 1);
                QCOMPARE(cells[1], arrived[k]);
                // 1ms/div, 16 samples a division: 62.5 us steps, 7 decimals;
                // 0.64 V/div, 0.02 V a count: 2 decimals.
                QCOMPARE(cells[2], QByteArray::number(i * 1e-3 / 16, 'f', 7));
                const int s1 = quint8(frameBytes[i]), s2 = quint8(frameBytes[256 + i]);
                QCOMPARE(cells[3], QByteArray::number((127.0 - s1) / 32 * 0.64, 'f', 2));
                QCOMPARE(cells[4], QByteArray::number((127.0 - s2) / 32 * 0.64, 'f', 2));
                for (int n = 0; n < 8; ++n)
                    QCOMPARE(cells[5 + n].toInt(), (quint8(frameBytes[512 + i]) >> n) & 1);
            }
        }
    }

    // Frames on one time line, each from the time it arrived or right after
    // the previous one's gap; the body holds time stamps and values only.
    void vcdPutsFramesOnOneTimeLine()
    {
        const QByteArray frameBytes = patternFrame();
        const auto *data = reinterpret_cast<const unsigned char *>(frameBytes.constData());
        QTemporaryDir dir;
        std::unique_ptr<CaptureFile> file = CaptureFile::create(Format::Vcd);
        QString error;
        QVERIFY(file->open(dir.filePath("c.vcd"), FrameScales::of(factoryLikeBlock()), &error));
        // 1ms/div, 16 samples a division: 62.5 us a sample, 625 ticks of 100 ns.
        const qint64 step = 625, span = 256 * step;
        // Frame 2 arrives while frame 1 and its gap would still run: it follows
        // the gap. Frame 3 arrives later: it starts then (0.1 s = 1e6 ticks).
        const double arrived[3] = {0.0, 0.001, 0.1};
        for (int k = 0; k < 3; ++k)
            QVERIFY(file->append(data, arrived[k]));
        QVERIFY(file->finish());
        QFile f(dir.filePath("c.vcd"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray text = f.readAll();
        QVERIFY2(vcdBodyIsPlain(text), "the value-change section holds more than time stamps and values");
        const ReadVcd vcd = readVcd(text);
        QVERIFY(vcd.ok);
        QCOMPARE(vcd.timescale, QByteArray("100 ns"));
        QCOMPARE(vcd.names.size(), 9);
        QVERIFY(vcd.names.values().contains("frame"));
        const qint64 starts[3] = {0, span + step, 1000000};
        QList<qint64> xTimes, frameChanges;
        for (auto it = vcd.changes.constBegin(); it != vcd.changes.constEnd(); ++it) {
            if (it.value().value("bit0") == 'x')
                xTimes << it.key();
            if (it.value().contains("frame"))
                frameChanges << it.key();
        }
        QCOMPARE(xTimes, (QList<qint64>{span, starts[1] + span, starts[2] + span}));
        QCOMPARE(frameChanges, (QList<qint64>{starts[0], starts[1], starts[2]}));
        for (int k = 0; k < 3; ++k) {
            const QMap<QByteArray, char> levels = vcd.changes.value(starts[k]);
            QCOMPARE(levels.size(), 9);
            QCOMPARE(levels.value("frame"), k % 2 == 0 ? '1' : '0');
            for (int n = 0; n < 8; ++n)
                QCOMPARE(levels.value("bit" + QByteArray::number(n)),
                         char('0' + ((quint8(frameBytes[512]) >> n) & 1)));
            // Sample 1 at its own time within the frame.
            const quint8 changed = quint8(frameBytes[512]) ^ quint8(frameBytes[513]);
            for (int n = 0; n < 8; ++n)
                if ((changed >> n) & 1)
                    QCOMPARE(vcd.changes.value(starts[k] + step).value("bit" + QByteArray::number(n)),
                             char('0' + ((quint8(frameBytes[513]) >> n) & 1)));
        }
        QCOMPARE(vcd.lastTime, starts[2] + span);
    }

    // A session file: every sample of each frame, the channels in volts as
    // the CSV gives them, the frames' first samples and arrival times.
    void sessionFileHoldsTheFrames()
    {
        const QByteArray frameBytes = patternFrame();
        const auto *data = reinterpret_cast<const unsigned char *>(frameBytes.constData());
        QTemporaryDir dir;
        std::unique_ptr<CaptureFile> file = CaptureFile::create(Format::Sr);
        QString error;
        QVERIFY(file->open(dir.filePath("c.sr"), FrameScales::of(factoryLikeBlock()), &error));
        QVERIFY(file->append(data, 0.25));
        QVERIFY(file->append(data, 0.5));
        QVERIFY(file->finish());
        const srsession::Session s = srsession::read(dir.filePath("c.sr"));
        QVERIFY2(s.ok, qPrintable(s.error));
        QCOMPARE(s.sampleRate, 16000.0); // 62.5 us a sample
        QCOMPARE(s.logicNames, (QStringList{"bit0", "bit1", "bit2", "bit3", "bit4", "bit5", "bit6", "bit7"}));
        QCOMPARE(s.analogNames, (QStringList{"CH1", "CH2"}));
        QCOMPARE(s.logic.size(), 512);
        QCOMPARE(s.analog.size(), 2);
        QCOMPARE(s.analog[1].size(), 512);
        for (int i = 0; i < 512; ++i) {
            const int at = i % 256;
            QCOMPARE(int(s.logic[i]), int(quint8(frameBytes[512 + at])));
            for (int c = 0; c < 2; ++c)
                QVERIFY(std::fabs(s.analog[c][i] - (127.0 - quint8(frameBytes[c * 256 + at])) / 32 * 0.64) < 1e-6);
        }
        QCOMPARE(s.frames.size(), 2);
        QCOMPARE(s.frames[1].firstSample, 256);
        QCOMPARE(s.frames[1].seconds, 0.5);
    }

    // A capture that got no frame leaves no file behind, whatever the format.
    void nothingCapturedLeavesNoFile_data()
    {
        QTest::addColumn<int>("format");
        QTest::newRow("csv") << int(Format::Csv);
        QTest::newRow("vcd") << int(Format::Vcd);
        QTest::newRow("sr") << int(Format::Sr);
        QTest::newRow("omx") << int(Format::Omx);
    }
    void nothingCapturedLeavesNoFile()
    {
        QFETCH(int, format);
        QTemporaryDir dir;
        const QString path = dir.filePath("empty");
        std::unique_ptr<CaptureFile> file = CaptureFile::create(Format(format));
        QString error;
        QVERIFY2(file->open(path, FrameScales::of(factoryLikeBlock()), &error), qPrintable(error));
        QVERIFY(QFileInfo::exists(path));
        file->discard();
        QVERIFY(!QFileInfo::exists(path));
    }

    void omxPlaysInTheWindowsReader()
    {
        const QByteArray frameBytes = patternFrame();
        const auto *data = reinterpret_cast<const unsigned char *>(frameBytes.constData());
        QTemporaryDir dir;
        const FrameScales scales = FrameScales::of(factoryLikeBlock());
        std::unique_ptr<CaptureFile> file = CaptureFile::create(Format::Omx);
        QString error;
        QVERIFY(file->open(dir.filePath("c.omx"), scales, &error));
        QVERIFY(file->append(data, 0));
        QVERIFY(file->append(data, 0));
        QVERIFY(file->finish());
        QFile f(dir.filePath("c.omx"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const recording::Recording r = recording::Recording::read(f.readAll());
        QCOMPARE(r.size(), 2);
        QCOMPARE(r.timeBase(1), 7);
        const wavefile::Wave w = r.frame(1);
        // The window's columns: 128 samples from its scroll position (register
        // 14), and the reader's value of the item after the last comma.
        QCOMPARE(w.records[0].size(), 129);
        for (int c = 0; c < 128; ++c)
            QCOMPARE(w.records[0][c], frame::channelValue(quint8(frameBytes[64 + c]), 0));
    }
};

QUORVEL_CORE_TEST_MAIN(TestCliOptions)
#include "test_cli_options.moc"
