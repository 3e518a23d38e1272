// Wave text, frame text, wave loader, recording writer and reader, frame log.
#include "quorveltest.h"

#include "filesizelimit.h"
#include "files/fileaccess.h"
#include "files/framelog.h"
#include "files/recording.h"
#include "files/wavetext.h"
#include "referencereader.h"

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>

using wavefile::Wave;
using wavefile::WaveView;

namespace {

QByteArray formatted(double value)
{
    char text[wavefile::MaxNumberLength];
    return QByteArray(text, wavefile::formatNumber(value, text));
}

QByteArray printfG(double value)
{
    char text[64];
    const int n = std::snprintf(text, sizeof text, "%.6g", value);
    return QByteArray(text, n);
}

double parsed(const QByteArray &item, bool *ok = nullptr)
{
    return wavefile::parseNumber(item.constData(), item.constData() + item.size(), ok);
}

// A wave whose record r holds `columns` values: CH1/CH2 like traces with
// position offsets and a half step, logic lines at their two levels.
Wave sampleWave(int columns, int seed = 0)
{
    Wave wave;
    for (int c = 0; c < columns; ++c) {
        wave.records[0].append(300 + (c * 7 + seed) % 211 - 0.5 * (c % 2));
        wave.records[1].append(-128 + (c * 13 + seed) % 510);
        for (int n = 0; n < wavefile::LogicRecords; ++n)
            wave.records[2 + n].append(150 + 20 * (n + 1) + (((c + seed) >> n) & 1 ? 0 : -10));
    }
    return wave;
}

// What loading gives for a saved vector: each value through six digits, and
// the extra 0 read from the item after the last comma.
QVector<double> loadedForm(const QVector<double> &saved)
{
    QVector<double> out;
    for (double v : saved)
        out.append(parsed(formatted(v)));
    out.append(0);
    return out;
}

QByteArray recordingOf(const QVector<int> &timeBases, const QVector<Wave> &frames)
{
    QByteArray text;
    for (int i = 0; i < frames.size(); ++i)
        recording::appendEntry(text, timeBases[i], WaveView::of(frames[i]));
    return text;
}

// The one-pass reader and the reference reading agree on everything.
QString compareWithReference(const QByteArray &text)
{
    const recording::Recording fast = recording::Recording::read(text);
    const reference::Loaded slow = reference::loadRecording(text);
    if (fast.size() != slow.timeBases.size())
        return QString("entries %1, reference %2").arg(fast.size()).arg(slow.timeBases.size());
    Wave frame;
    for (int e = 0; e < fast.size(); ++e) {
        if (fast.timeBase(e) != slow.timeBases[e])
            return QString("entry %1: time base %2, reference %3")
                .arg(e)
                .arg(fast.timeBase(e))
                .arg(slow.timeBases[e]);
        fast.frame(e, frame);
        for (int r = 0; r < wavefile::RecordCount; ++r) {
            const QVector<double> &expected = slow.frames[e * wavefile::RecordCount + r];
            if (frame.records[r].size() != expected.size() ||
                std::memcmp(frame.records[r].constData(), expected.constData(),
                            sizeof(double) * size_t(expected.size())) != 0)
                return QString("entry %1 record %2 differs").arg(e).arg(r);
        }
    }
    return QString();
}

QString compareWaveWithReference(const QByteArray &text)
{
    const wavefile::WaveLoad fast = wavefile::loadWave(text);
    const QVector<QVector<double>> slow = reference::loadWave(text);
    for (int r = 0; r < wavefile::RecordCount; ++r)
        if (fast.wave.records[r] != slow[r])
            return QString("record %1 differs").arg(r);
    return QString();
}

// Random text made of the pieces the formats are built from, so that markers,
// separators, numbers and line ends meet in every order.
QByteArray randomText(std::mt19937 &random, const QByteArray &valid)
{
    static const char *const pieces[] = {
        "<*>", "\n",   "\r",    "\r\n",     ",",          "----------", "-",    "--",  "<*",  "*>",
        "<",   "10",   "11",    "0",        "-3",         "+7",         "12.5", "1e5", "nan", "x",
        " ",   "CH1,", "Bit7,", "300,302,", "2147483648", "-0",         "\t",   "\0"};
    std::uniform_int_distribution<int> pick(0, int(std::size(pieces)) + 2), count(0, 60);
    QByteArray text;
    const int n = count(random);
    for (int i = 0; i < n; ++i) {
        const int p = pick(random);
        if (p < int(std::size(pieces)))
            text.append(pieces[p], p == int(std::size(pieces)) - 1 ? 1 : int(std::strlen(pieces[p])));
        else if (p == int(std::size(pieces))) {
            std::uniform_int_distribution<int> from(0, valid.size() - 1), length(1, 200);
            text.append(valid.mid(from(random), length(random)));
        } else
            text.append(char(random() & 0xff));
    }
    return text;
}

// A valid text with a few random edits: cut, inserted, replaced, truncated.
QByteArray mutated(std::mt19937 &random, QByteArray text)
{
    std::uniform_int_distribution<int> edits(1, 6), kind(0, 3), byte(0, 255);
    const int n = edits(random);
    for (int i = 0; i < n && !text.isEmpty(); ++i) {
        std::uniform_int_distribution<int> at(0, text.size() - 1);
        const int p = at(random);
        switch (kind(random)) {
        case 0:
            text.remove(p, std::uniform_int_distribution<int>(1, 40)(random));
            break;
        case 1:
            text.insert(p, "<*>----------\n,"[std::uniform_int_distribution<int>(0, 14)(random)]);
            break;
        case 2:
            text[p] = char(byte(random));
            break;
        default:
            text.truncate(p);
            break;
        }
    }
    return text;
}

} // namespace

class TestFileFormats : public QObject
{
    Q_OBJECT

private slots:
    void numbersAreWrittenAsPrintfG_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("510") << 510.0 << QByteArray("510");
        QTest::newRow("12.5") << 12.5 << QByteArray("12.5");
        QTest::newRow("-3") << -3.0 << QByteArray("-3");
        QTest::newRow("1234567") << 1234567.0 << QByteArray("1.23457e+06");
        QTest::newRow("0.0001") << 0.0001 << QByteArray("0.0001");
        QTest::newRow("1e-5") << 1e-5 << QByteArray("1e-05");
        QTest::newRow("negative zero") << -0.0 << QByteArray("-0");
        QTest::newRow("zero") << 0.0 << QByteArray("0");
        QTest::newRow("largest plain") << 999999.0 << QByteArray("999999");
        QTest::newRow("rounds up to 1e6") << 999999.5 << QByteArray("1e+06");
        QTest::newRow("1e6") << 1e6 << QByteArray("1e+06");
        QTest::newRow("six digits kept") << 123456.7 << QByteArray("123457");
        QTest::newRow("half step") << -127.5 << QByteArray("-127.5");
        QTest::newRow("third") << 1.0 / 3 << QByteArray("0.333333");
        QTest::newRow("huge") << 1e300 << QByteArray("1e+300");
        QTest::newRow("tiny negative") << -2.5e-300 << QByteArray("-2.5e-300");
    }
    void numbersAreWrittenAsPrintfG()
    {
        QFETCH(double, value);
        QFETCH(QByteArray, text);
        QCOMPARE(formatted(value), text);
        QCOMPARE(printfG(value), text);
    }

    // The whole-number shortcut and the general form against printf on values
    // of every kind a trace or an edited file may hold.
    void numbersMatchPrintfOverRandomValues()
    {
        std::mt19937_64 random(7);
        std::uniform_int_distribution<int> kind(0, 4), small(-2000000, 2000000);
        std::uniform_real_distribution<double> real(-1e7, 1e7), exponent(-320, 308);
        for (int i = 0; i < 200000; ++i) {
            double v = 0;
            switch (kind(random)) {
            case 0:
                v = small(random);
                break;
            case 1:
                v = small(random) / 2.0;
                break;
            case 2:
                v = real(random);
                break;
            case 3:
                v = std::pow(10.0, exponent(random)) * (random() & 1 ? 1 : -1);
                break;
            default: {
                const quint64 bits = random();
                std::memcpy(&v, &bits, sizeof v);
                if (!std::isfinite(v))
                    v = 0;
            }
            }
            if (formatted(v) != printfG(v))
                QFAIL(qPrintable(QString("%1: %2, printf %3")
                                     .arg(v, 0, 'g', 17)
                                     .arg(QString(formatted(v)), QString(printfG(v)))));
        }
    }

    void numbersAreRead_data()
    {
        QTest::addColumn<QByteArray>("item");
        QTest::addColumn<double>("value");
        QTest::addColumn<bool>("isNumber");
        QTest::newRow("integer") << QByteArray("300") << 300.0 << true;
        QTest::newRow("negative") << QByteArray("-128") << -128.0 << true;
        QTest::newRow("half") << QByteArray("12.5") << 12.5 << true;
        QTest::newRow("exponent") << QByteArray("1.23457e+06") << 1234570.0 << true;
        QTest::newRow("small exponent") << QByteArray("1e-05") << 1e-5 << true;
        QTest::newRow("plus sign") << QByteArray("+7") << 7.0 << true;
        QTest::newRow("blanks around") << QByteArray(" \t42\r\n") << 42.0 << true;
        QTest::newRow("leading point") << QByteArray(".5") << 0.5 << true;
        QTest::newRow("trailing point") << QByteArray("5.") << 5.0 << true;
        QTest::newRow("sixteen digits") << QByteArray("1234567890123456") << 1234567890123456.0 << true;
        QTest::newRow("empty") << QByteArray("") << 0.0 << false;
        QTest::newRow("line end") << QByteArray("\r\n") << 0.0 << false;
        QTest::newRow("word") << QByteArray("abc") << 0.0 << false;
        QTest::newRow("number and junk") << QByteArray("12abc") << 0.0 << false;
        QTest::newRow("separator after") << QByteArray("0----------11") << 0.0 << false;
        QTest::newRow("two signs") << QByteArray("+-5") << 0.0 << false;
        QTest::newRow("sign only") << QByteArray("-") << 0.0 << false;
        QTest::newRow("inner blank") << QByteArray("1 2") << 0.0 << false;
        QTest::newRow("hex") << QByteArray("0x10") << 0.0 << false;
        QTest::newRow("not a number") << QByteArray("nan") << 0.0 << false;
        QTest::newRow("infinity") << QByteArray("-inf") << 0.0 << false;
        QTest::newRow("overflow") << QByteArray("1e999") << 0.0 << false;
        QTest::newRow("comma decimal") << QByteArray("12;5") << 0.0 << false;
    }
    void numbersAreRead()
    {
        QFETCH(QByteArray, item);
        QFETCH(double, value);
        QFETCH(bool, isNumber);
        bool ok = !isNumber;
        QCOMPARE(parsed(item, &ok), value);
        QCOMPARE(ok, isNumber);
    }

    void negativeZeroSurvivesTheRoundTrip() { QVERIFY(std::signbit(parsed(formatted(-0.0)))); }

    void integersAreRead_data()
    {
        QTest::addColumn<QByteArray>("item");
        QTest::addColumn<int>("value");
        QTest::newRow("plain") << QByteArray("11") << 11;
        QTest::newRow("blanks") << QByteArray("\n 21 ") << 21;
        QTest::newRow("leading zeros") << QByteArray("0007") << 7;
        QTest::newRow("negative") << QByteArray("-3") << -3;
        QTest::newRow("int minimum") << QByteArray("-2147483648") << int(-2147483647 - 1);
        QTest::newRow("beyond int") << QByteArray("2147483648") << 0;
        QTest::newRow("fraction") << QByteArray("10.5") << 0;
        QTest::newRow("label") << QByteArray("CH1") << 0;
        QTest::newRow("empty") << QByteArray() << 0;
    }
    void integersAreRead()
    {
        QFETCH(QByteArray, item);
        QFETCH(int, value);
        QCOMPARE(wavefile::parseInteger(item.constData(), item.constData() + item.size()), value);
    }

    void waveTextHasTenRecords()
    {
        Wave wave;
        wave.records[0] = {300, 302};
        wave.records[1] = {250, 12.5};
        wave.records[9] = {185, 185};
        const QByteArray expected = "CH1,300,302,<*>\nCH2,250,12.5,<*>\nBit0,<*>\nBit1,<*>\nBit2,<*>\n"
                                    "Bit3,<*>\nBit4,<*>\nBit5,<*>\nBit6,<*>\nBit7,185,185,";
        QCOMPARE(wavefile::waveText(WaveView::of(wave)), expected);
        QCOMPARE(wavefile::frameText(WaveView::of(wave)), expected + "----------");
    }

    void savedWaveLoadsWithOneMoreValue_data()
    {
        QTest::addColumn<int>("columns");
        QTest::addColumn<bool>("windowsLineEnds");
        QTest::newRow("128 columns") << 128 << false;
        QTest::newRow("256 columns") << 256 << false;
        QTest::newRow("128 columns, CR LF") << 128 << true;
        QTest::newRow("one column") << 1 << false;
    }
    void savedWaveLoadsWithOneMoreValue()
    {
        QFETCH(int, columns);
        QFETCH(bool, windowsLineEnds);
        Wave wave = sampleWave(columns);
        wave.records[0][0] = 1234567; // loads as 1234570: six digits are kept
        QByteArray text = wavefile::waveText(WaveView::of(wave));
        if (windowsLineEnds)
            text.replace("\n", "\r\n");
        const wavefile::WaveLoad load = wavefile::loadWave(text);
        QCOMPARE(load.records, wavefile::RecordCount);
        QCOMPARE(load.numbers, qint64(columns) * wavefile::RecordCount);
        for (int r = 0; r < wavefile::RecordCount; ++r) {
            QCOMPARE(load.wave.records[r].size(), columns + 1);
            QCOMPARE(load.wave.records[r], loadedForm(wave.records[r]));
        }
        QCOMPARE(load.wave.records[0][0], 1234570.0);
        QCOMPARE(compareWaveWithReference(text), QString());
    }

    // A wave of values no plot can hold is found before it reaches a read-out.
    void valuesBeyondThePlot_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("record");
        QTest::addColumn<int>("index");
        QTest::newRow("1e308 in CH1") << QByteArray("CH1,1e308,-1e308,<*>\nCH2,1,2,") << 0 << 0;
        QTest::newRow("-1e308 in Bit7") << QByteArray("CH1,1,<*>\nCH2,<*>\nBit0,<*>\nBit1,<*>\nBit2,<*>\n"
                                                      "Bit3,<*>\nBit4,<*>\nBit5,<*>\nBit6,<*>\nBit7,0,-1e308,")
                                        << 9 << 1;
        QTest::newRow("just beyond") << QByteArray("CH1,10000,-10001,") << 0 << 1;
        QTest::newRow("within") << QByteArray("CH1,-10000,512,1e3,") << -1 << -1;
    }
    void valuesBeyondThePlot()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, record);
        QFETCH(int, index);
        const wavefile::OutOfRange out = wavefile::firstOutOfRange(wavefile::loadWave(text).wave);
        QCOMPARE(out.record, record);
        QCOMPARE(out.index, index);
    }

    void malformedWavesLoadWithinTheirParts_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("records");
        QTest::addColumn<qint64>("numbers");
        QTest::addColumn<QVector<double>>("ch1");
        QTest::addColumn<QVector<double>>("ch2");
        QTest::newRow("empty file") << QByteArray() << 1 << qint64(0) << QVector<double>{}
                                    << QVector<double>{};
        QTest::newRow("no comma") << QByteArray("not a wave") << 1 << qint64(0) << QVector<double>{}
                                  << QVector<double>{};
        QTest::newRow("words") << QByteArray("hello, world") << 1 << qint64(0) << QVector<double>{0}
                               << QVector<double>{};
        QTest::newRow("two records only") << QByteArray("CH1,1,<*>\nCH2,2,") << 2 << qint64(2)
                                          << QVector<double>{1, 0} << QVector<double>{2, 0};
        QTest::newRow("line-end parts dropped") << QByteArray("CH1,1,<*>\n<*>\r<*>\nCH2,2,") << 2 << qint64(2)
                                                << QVector<double>{1, 0} << QVector<double>{2, 0};
        QTest::newRow("line end and label kept together")
            << QByteArray("CH1,1,<*>\r\n<*>CH2,2,") << 3 << qint64(2) << QVector<double>{1, 0}
            << QVector<double>{};
        QTest::newRow("items that are not numbers")
            << QByteArray("CH1,a,,3,<*>\nCH2,nan,1e999,") << 2 << qint64(1) << QVector<double>{0, 0, 3, 0}
            << QVector<double>{0, 0, 0};
        QTest::newRow("label without comma")
            << QByteArray("CH1<*>\nCH2,5") << 2 << qint64(1) << QVector<double>{} << QVector<double>{5};
        QTest::newRow("marker at the end")
            << QByteArray("CH1,4,<*>") << 2 << qint64(1) << QVector<double>{4, 0} << QVector<double>{};
        QTest::newRow("eleven records")
            << QByteArray("a,1<*>b,2<*>c,<*>d,<*>e,<*>f,<*>g,<*>h,<*>i,<*>j,<*>k,99") << 10 << qint64(2)
            << QVector<double>{1} << QVector<double>{2};
        QTest::newRow("binary") << QByteArray("\x00\xff,\x01<*\x00>,", 9) << 1 << qint64(0)
                                << QVector<double>{0, 0} << QVector<double>{};
    }
    void malformedWavesLoadWithinTheirParts()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, records);
        QFETCH(qint64, numbers);
        QFETCH(QVector<double>, ch1);
        QFETCH(QVector<double>, ch2);
        const wavefile::WaveLoad load = wavefile::loadWave(text);
        QCOMPARE(load.records, records);
        QCOMPARE(load.numbers, numbers);
        QCOMPARE(load.wave.records[0], ch1);
        QCOMPARE(load.wave.records[1], ch2);
        for (int r = records; r < wavefile::RecordCount; ++r)
            QVERIFY(load.wave.records[r].isEmpty());
        QCOMPARE(compareWaveWithReference(text), QString());
    }

    void twoFrameRecordingReadsBack()
    {
        Wave first, second;
        first.records[0] = {300, 302};
        first.records[9] = {185, 185};
        second = sampleWave(128, 5);
        const QByteArray text = recordingOf({10, 11}, {first, second});
        QVERIFY(text.startsWith("10<*>\nCH1,300,302,<*>\nCH2,<*>\n"));
        QVERIFY(text.contains("Bit7,185,185,----------11<*>\nCH1,"));
        QVERIFY(text.endsWith(",----------"));

        const recording::Recording read = recording::Recording::read(text);
        QCOMPARE(read.size(), 2);
        QCOMPARE(read.timeBase(0), 10);
        QCOMPARE(read.timeBase(1), 11);
        const Wave a = read.frame(0), b = read.frame(1);
        for (int r = 0; r < wavefile::RecordCount; ++r) {
            QCOMPARE(a.records[r], loadedForm(first.records[r]));
            QCOMPARE(b.records[r], loadedForm(second.records[r]));
        }
        QCOMPARE(compareWithReference(text), QString());
    }

    void malformedRecordingsReadWithinTheirText_data()
    {
        const QByteArray entry10 = recordingOf({10}, {sampleWave(3)});
        const QByteArray entry11 = recordingOf({11}, {sampleWave(3, 1)});
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QVector<int>>("timeBases");
        QTest::newRow("empty") << QByteArray() << QVector<int>{};
        QTest::newRow("no markers") << QByteArray("just some text") << QVector<int>{};
        QTest::newRow("separators only")
            << QByteArray("----------------------------------------") << QVector<int>{};
        QTest::newRow("line end after the last separator") << entry10 + entry11 + "\n"
                                                           << QVector<int>{10, 11};
        QTest::newRow("CR LF after the last separator") << entry10 + entry11 + "\r\n" << QVector<int>{10, 11};
        QTest::newRow("line end before a time base") << entry10 + "\n" + entry11 << QVector<int>{10, 11};
        QTest::newRow("last entry cut in a record") << entry10 + entry11.left(40) << QVector<int>{10, 11};
        QTest::newRow("last entry cut after its time base") << entry10 + "11<*>" << QVector<int>{10, 11};
        QTest::newRow("last entry is a time base only") << entry10 + "11" << QVector<int>{10};
        QTest::newRow("three records")
            << QByteArray("7<*>\nCH1,1,<*>\nCH2,2,<*>\nBit0,3,----------") << QVector<int>{7};
        QTest::newRow("time base not a number") << QByteArray("x<*>\nCH1,1,----------") << QVector<int>{0};
        QTest::newRow("time base beyond int")
            << QByteArray("99999999999<*>CH1,1,----------") << QVector<int>{0};
        QTest::newRow("markers only") << QByteArray("<*><*><*>") << QVector<int>{0};
        QTest::newRow("eleven hyphens")
            << entry10.chopped(10) + "-----------" + entry11 << QVector<int>{10, -11};
        QTest::newRow("separator inside a record")
            << QByteArray("5<*>\nCH1,1,----------2,<*>\nCH2,3,----------6<*>\nCH1,4,----------")
            << QVector<int>{5, 0, 6};
    }
    void malformedRecordingsReadWithinTheirText()
    {
        QFETCH(QByteArray, text);
        QFETCH(QVector<int>, timeBases);
        const recording::Recording read = recording::Recording::read(text);
        QVector<int> got;
        for (int e = 0; e < read.size(); ++e)
            got.append(read.timeBase(e));
        QCOMPARE(got, timeBases);
        QCOMPARE(compareWithReference(text), QString());
    }

    // The one-pass reader against the reference on random and damaged texts.
    void readersAgreeOnFuzzedInput()
    {
        std::mt19937 random(1210);
        QVector<Wave> frames;
        QVector<int> timeBases;
        for (int i = 0; i < 4; ++i) {
            frames.append(sampleWave(16, i));
            timeBases.append(9 + i);
        }
        const QByteArray valid = recordingOf(timeBases, frames);
        for (int i = 0; i < 3000; ++i) {
            const QByteArray text = (i % 2) ? randomText(random, valid) : mutated(random, valid);
            const QString recordingDifference = compareWithReference(text);
            if (!recordingDifference.isEmpty())
                QFAIL(qPrintable(recordingDifference + " for " + text.toPercentEncoding()));
            const QString waveDifference = compareWaveWithReference(text);
            if (!waveDifference.isEmpty())
                QFAIL(qPrintable(waveDifference + " for " + text.toPercentEncoding()));
        }
    }

    void playedTimeBaseStaysInRange_data()
    {
        QTest::addColumn<int>("recorded");
        QTest::addColumn<int>("played");
        QTest::newRow("fastest") << 0 << 0;
        QTest::newRow("slowest") << 21 << 21;
        QTest::newRow("negative") << -5 << 0;
        QTest::newRow("beyond the table") << 22 << 21;
        QTest::newRow("beyond a byte") << 300 << 21;
    }
    void playedTimeBaseStaysInRange()
    {
        QFETCH(int, recorded);
        QFETCH(int, played);
        QCOMPARE(recording::playableTimeBase(recorded), played);
    }

    // Each entry is on disk as soon as it is appended, and the finished file
    // holds exactly the text of the whole recording written at once.
    void writerPutsEveryEntryOnDiskAtOnce()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("record.omx");
        recording::Writer writer;
        QVERIFY(writer.open(path));
        QByteArray whole;
        for (int i = 0; i < 5; ++i) {
            const Wave frame = sampleWave(128, i);
            QVERIFY(writer.append(10 + i, WaveView::of(frame)));
            recording::appendEntry(whole, 10 + i, WaveView::of(frame));
            QFile onDisk(path);
            QVERIFY(onDisk.open(QIODevice::ReadOnly));
            QCOMPARE(onDisk.readAll(), whole);
        }
        QVERIFY(writer.finish());
        QVERIFY(!writer.isOpen());
        QCOMPARE(writer.entriesWritten(), qint64(5));
        QFile onDisk(path);
        QVERIFY(onDisk.open(QIODevice::ReadOnly));
        QCOMPARE(onDisk.readAll(), whole);
        QVERIFY(!writer.append(1, WaveView::of(sampleWave(1)))); // closed
    }

    void writerReportsWhatItCannotDo()
    {
        QTemporaryDir dir;
        recording::Writer writer;
        QVERIFY(!writer.open(dir.filePath("missing/record.omx")));
        QVERIFY(!writer.append(10, WaveView::of(sampleWave(4))));
        // A device is no recording: refused at open, nothing written to it.
        if (QFile::exists("/dev/full"))
            QVERIFY(!writer.open("/dev/full"));
        QVERIFY(!writer.append(10, WaveView::of(sampleWave(4))));
    }

    // A disk that fills in the middle of an entry: the file is cut back to the
    // entries before it, and reads back as exactly those.
    void fullDiskKeepsOnlyWholeEntries_data()
    {
        QTest::addColumn<int>("wholeBefore"); // entries that fit before the limit
        QTest::addColumn<int>("bytesOfNext"); // bytes of the next entry that still fit
        QTest::newRow("in the first entry") << 0 << 300;
        QTest::newRow("in the third entry") << 2 << 700;
        QTest::newRow("at an entry's end") << 3 << 0;
        QTest::newRow("one byte short of the fourth") << 3 << -1;
    }
    void fullDiskKeepsOnlyWholeEntries()
    {
        QFETCH(int, wholeBefore);
        QFETCH(int, bytesOfNext);
        QTemporaryDir dir;
        const QString path = dir.filePath("record.omx");
        QVector<Wave> frames;
        QByteArray whole, entry;
        for (int i = 0; i < 6; ++i)
            frames.append(sampleWave(128, i));
        for (int i = 0; i < wholeBefore; ++i)
            recording::appendEntry(whole, 10 + i, WaveView::of(frames[i]));
        recording::appendEntry(entry, 10 + wholeBefore, WaveView::of(frames[wholeBefore]));
        const int limit = whole.size() + (bytesOfNext < 0 ? entry.size() - 1 : bytesOfNext);

        recording::Writer writer;
        QVERIFY(writer.open(path));
        {
            quorveltest::FileSizeLimit full{rlim_t(limit)};
            QVERIFY(full.isActive());
            for (int i = 0; i < wholeBefore; ++i)
                QVERIFY(writer.append(10 + i, WaveView::of(frames[i])));
            QVERIFY(!writer.append(10 + wholeBefore, WaveView::of(frames[wholeBefore])));
            QVERIFY(!writer.append(20, WaveView::of(frames[5]))); // stays stopped
        }
        QVERIFY(!writer.finish());
        QCOMPARE(writer.entriesWritten(), qint64(wholeBefore));
        if (wholeBefore == 0) {
            // Nothing whole was written: the file it made is gone.
            QVERIFY(!QFile::exists(path));
            return;
        }
        QFile onDisk(path);
        QVERIFY(onDisk.open(QIODevice::ReadOnly));
        const QByteArray text = onDisk.readAll();
        QCOMPARE(text.size(), whole.size());
        QCOMPARE(text, whole);
        const recording::Recording read = recording::Recording::read(text);
        QCOMPARE(read.size(), wholeBefore);
        for (int e = 0; e < read.size(); ++e) {
            QCOMPARE(read.timeBase(e), 10 + e);
            QCOMPARE(read.frame(e).records[1].size(), 129);
        }
    }

    // Entries made of markers, dashes or text alone are no recording; one
    // number anywhere, in a time base or a record, makes it one.
    void recordingWithoutNumbersIsNone_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("numbers");
        QTest::newRow("markers only") << QByteArray("<*><*><*>") << false;
        QTest::newRow("markers and dashes")
            << QByteArray("<*>\n<*>\n<*>----------<*>\n<*>----------") << false;
        QTest::newRow("text with markers")
            << QByteArray("shopping<*>\nlist,bread,milk<*>\neggs,,<*>----------x<*>y,z,") << false;
        QTest::newRow("blank items") << QByteArray(" <*>\nCH1, , ,<*>\nCH2,,----------") << false;
        QTest::newRow("a real entry") << recordingOf({10}, {sampleWave(3)}) << true;
        QTest::newRow("time base only") << QByteArray("5<*>") << true;
        QTest::newRow("one value late")
            << QByteArray("x<*>\nCH1,a,----------y<*>\nCH1,b,<*>\nCH2,c,7,----------") << true;
    }
    void recordingWithoutNumbersIsNone()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, numbers);
        const recording::Recording read = recording::Recording::read(text);
        QVERIFY(!read.isEmpty()); // entries by the reading rule all the same
        QCOMPARE(read.holdsNumbers(), numbers);
    }

    // Only regular files are opened: a named pipe with nobody at its other
    // end is refused at once, for reading and for writing, and so is a device.
    void onlyRegularFilesAreOpened()
    {
        QTemporaryDir dir;
        const QString fifo = dir.filePath("pipe.omx");
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        QElapsedTimer clock;
        clock.start();
        QFile file;
        QCOMPARE(fileaccess::openForReading(file, fifo), fileaccess::OpenResult::NotRegular);
        QVERIFY(!file.isOpen());
        QCOMPARE(fileaccess::openForWriting(file, fifo, true), fileaccess::OpenResult::NotRegular);
        recording::Writer writer;
        QVERIFY(!writer.open(fifo));
        QCOMPARE(writer.errorString(), QString("not a regular file"));
        QVERIFY(clock.elapsed() < 5000); // a blocked open would hang here for good
        QCOMPARE(fileaccess::openForReading(file, "/dev/null"), fileaccess::OpenResult::NotRegular);
        QString why;
        QCOMPARE(fileaccess::openForReading(file, dir.filePath("absent.omx"), &why),
                 fileaccess::OpenResult::Failed);
        QCOMPARE(why, QString("No such file or directory")); // the system's words, not "Unknown error"
        QVERIFY(!writer.open(dir.filePath("none/x.omx")));
        QCOMPARE(writer.errorString(), QString("No such file or directory"));
        QCOMPARE(fileaccess::openForReading(file, dir.path()), fileaccess::OpenResult::NotRegular);

        // A regular file reads; writing truncates it, and says it was there.
        const QString plain = dir.filePath("wave.omx");
        bool created = false;
        QCOMPARE(fileaccess::openForWriting(file, plain, false, &created), fileaccess::OpenResult::Opened);
        QVERIFY(created);
        QCOMPARE(file.write("0123456789"), qint64(10));
        file.close();
        QCOMPARE(fileaccess::openForWriting(file, plain, false, &created), fileaccess::OpenResult::Opened);
        QVERIFY(!created);
        QCOMPARE(file.write("ab"), qint64(2));
        file.close();
        QCOMPARE(fileaccess::openForReading(file, plain), fileaccess::OpenResult::Opened);
        QCOMPARE(file.readAll(), QByteArray("ab"));
    }

    void filesAreReadUpToALimit_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<qint64>("limit");
        QTest::addColumn<int>("result");
        QTest::newRow("empty") << 0 << qint64(10) << int(recording::ReadResult::Read);
        QTest::newRow("at the limit") << 3000000 << qint64(3000000) << int(recording::ReadResult::Read);
        QTest::newRow("one byte over") << 3000001 << qint64(3000000) << int(recording::ReadResult::TooLarge);
    }
    void filesAreReadUpToALimit()
    {
        QFETCH(int, size);
        QFETCH(qint64, limit);
        QFETCH(int, result);
        QTemporaryDir dir;
        QFile file(dir.filePath("record.omx"));
        QByteArray content(size, 'x');
        for (int i = 0; i < size; i += 4099)
            content[i] = char(i);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();
        QVERIFY(file.open(QIODevice::ReadOnly));
        QByteArray read;
        QCOMPARE(int(recording::readAtMost(file, limit, read)), result);
        if (result == int(recording::ReadResult::Read))
            QCOMPARE(read, content);
    }

    // A device without an end is refused at the limit, not read forever.
    void endlessDeviceIsRefused()
    {
        QFile zero("/dev/zero");
        if (!zero.open(QIODevice::ReadOnly))
            QSKIP("no /dev/zero here");
        QByteArray read;
        QCOMPARE(recording::readAtMost(zero, 5 << 20, read), recording::ReadResult::TooLarge);
        QVERIFY(read.size() <= (5 << 20) + 1);
    }

    void frameLogWritesBatchesOf200()
    {
        FrameLog log;
        const QByteArray frame = wavefile::frameText(WaveView::of(sampleWave(2)));
        for (int i = 1; i < FrameLog::BatchFrames; ++i)
            QVERIFY(!log.add(frame));
        QVERIFY(log.add(frame));
        const QByteArray batch = log.takeBatch();
        QCOMPARE(batch, frame.repeated(FrameLog::BatchFrames) + "\n");
        QCOMPARE(log.pendingFrames(), 0);
        QVERIFY(log.pendingText().isEmpty());
        QVERIFY(!log.add(frame));
        QCOMPARE(log.takeBatch(), frame + "\n");
        QCOMPARE(log.takeBatch(), QByteArray("\n")); // an empty last batch is a line end
    }
};

QUORVEL_CORE_TEST_MAIN(TestFileFormats)
#include "test_fileformats.moc"
