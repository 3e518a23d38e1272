#include "instrumentmodel.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace quorvelsim {

namespace {

constexpr double TimePerDiv[22] = {8e-6, 16e-6, 32e-6, 64e-6, 128e-6, 256e-6, 500e-6, 1e-3, 2e-3, 5e-3, 10e-3,
                                   20e-3, 50e-3, 0.1,   0.2,   0.5,   1.0,   2.0,  5.0,  10.0, 20.0, 50.0};
constexpr double VoltsPerDiv[7] = {5.12, 2.56, 1.28, 0.64, 0.32, 0.16, 0.08};
constexpr int FirstSlowTimeBase = 11;
constexpr int FastSamplesPerDiv = 16; // 128 samples fill the eight divisions
constexpr int SlowSamplesPerDiv = 32; // 256 samples fill them
constexpr double CountsPerDiv = 32.0; // sample counts per division
constexpr double ZeroLevel = 128.0;   // 255 - sample of 0 V: sample 127
constexpr double MeterVoltsPerCount = 0.00125;
constexpr double SlopeMinimum = 2.0;  // counts per sample a slope trigger needs
constexpr double TriggerTimeoutStep = 0.04096;
constexpr int MaxTriggerSearch = 65536;
constexpr int CaptureSize = 640, I2cCaptureSize = 1024;
constexpr double Ch2Frequency = 500.0, Ch2Amplitude = 1.0;
constexpr int SnifferBytes = 1289;
constexpr double SnifferInterval = 0.001; // capture frames when the client sets no rate
constexpr quint64 DefaultSeed = 0x5EEDF00DCAFEull;

int clampInt(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

} // namespace

InstrumentModel::InstrumentModel() { factoryReset(); }

QByteArray InstrumentModel::factorySettings()
{
    quint8 s[44] = {};
    s[reg::SamplingRate] = 7;     // 1ms/div: a 1 kHz wave shows one period per division
    s[reg::Ch1Options] = 0x01;    // trace on
    s[reg::Ch2Options] = 0x01;
    s[reg::ChdOptions] = 0x01;
    s[reg::ChdMask] = 0x3F;       // buses and the two lowest counter lines
    s[reg::Trigger] = 0x84;       // Auto, rising edge
    s[reg::Cursors] = 0x00;
    s[reg::Display] = 0x42;       // grid lines, vectors
    s[reg::Fft] = 0x20;           // time-domain display
    s[reg::Sweep] = 0x00;
    s[reg::SnifferLines] = 0x03;  // 9600 baud, no parity, one stop bit, CPOL 0, CPHA 0
    s[reg::MStatus] = 0x00;
    s[reg::Ch1Gain] = 3;          // 0.64V/div
    s[reg::Ch2Gain] = 3;
    s[reg::HPos] = 64;
    s[15] = 32;
    s[16] = 96;
    s[17] = 40;
    s[18] = 88;
    s[19] = 40;
    s[20] = 88;
    s[reg::TriggerHold] = 0;
    s[reg::PostTriggerLow] = 128; // trigger at sample 128, the middle of the shown half at HPos 64
    s[reg::PostTriggerHigh] = 0;
    s[reg::TriggerSource] = 0;
    s[reg::TriggerLevel] = 128;   // 0 V
    s[reg::WindowLevel1] = 100;
    s[reg::WindowLevel2] = 156;
    s[reg::TriggerTimeout] = 2;   // 0.12 s
    s[reg::Ch1Position] = 0xC0;   // -64: position slider 0
    s[reg::Ch2Position] = 0xC0;
    s[reg::ChdPosition] = 16;     // slider 3 with six lines enabled
    s[reg::Protocol] = 2;         // UART
    s[reg::SweepStart] = 64;
    s[reg::SweepEnd] = 192;
    s[reg::SweepSpeed] = 64;
    s[reg::Amplitude] = 0xC0;     // -64: 2 V
    s[reg::Waveform] = 1;         // sine
    s[reg::Duty] = 128;           // 50 %
    s[reg::Offset] = 0;
    const quint32 hundredths = 100000; // 1 kHz
    for (int i = 0; i < 4; ++i)
        s[reg::Frequency + i] = quint8(hundredths >> (8 * i));
    return QByteArray(reinterpret_cast<const char *>(s), 44);
}

void InstrumentModel::factoryReset()
{
    const QByteArray f = factorySettings();
    std::memcpy(settings.data(), f.constData(), 44);
    stored = settings;
    for (int i = 0; i < 256; ++i) // a ramp, so a custom wave is visible before any upload
        wave[size_t(i)] = qint8(clampInt(i - 128, -127, 127));
    storedWave = wave;
    firmware = "2.37";
    now = 0.0;
    rate = 60.0;
    noiseSigma = 0.004;
    setSeed(DefaultSeed);
    counter = 0;
    acquiring = true;
    singleArmed = true;
    forceOnce = false;
    lastTrigger = -1e9;
    capturing = false;
    captureA.fill(0, CaptureSize);
    captureB.fill(0, CaptureSize);
    captureI2c.fill(0, I2cCaptureSize);
    i2cFlags.fill(0, 256);
    countA = countB = countI2c = 0;
    pulseStart = 0.0;
    invalidateAcquisition();
    configure();
}

void InstrumentModel::setSeed(quint64 seed)
{
    rng = seed ? seed : DefaultSeed;
}

void InstrumentModel::configure()
{
    generator.configure(settings.data(), wave.data());
    bus.configure(settings[reg::SnifferLines], settings[reg::Protocol]);
}

void InstrumentModel::invalidateAcquisition()
{
    averageValid = false;
    recordValid = false;
}

QByteArray InstrumentModel::settingsBlock() const
{
    return QByteArray(reinterpret_cast<const char *>(settings.data()), 44);
}

QByteArray InstrumentModel::storedSettingsBlock() const
{
    return QByteArray(reinterpret_cast<const char *>(stored.data()), 44);
}

QByteArray InstrumentModel::customWave() const
{
    return QByteArray(reinterpret_cast<const char *>(wave.data()), 256);
}

void InstrumentModel::powerCycle()
{
    settings = stored;
    wave = storedWave;
    acquiring = true;
    singleArmed = true;
    capturing = snifferRunning();
    invalidateAcquisition();
    configure();
}

void InstrumentModel::loadCustomWave(const QByteArray &data)
{
    const int n = std::min(int(data.size()), 256);
    for (int i = 0; i < n; ++i)
        wave[size_t(i)] = qint8(data[i]);
    configure();
}

void InstrumentModel::setReg(int index, quint8 value)
{
    if (index < 0 || index >= 44)
        return;
    const quint8 old = settings[size_t(index)];
    settings[size_t(index)] = value;
    switch (index) {
    case reg::MStatus:
        if ((value & 0x08) && !(old & 0x08))
            startCapture();
        if (!(value & 0x08))
            capturing = false;
        if ((value & 0xC1) == 0xC1 && (old & 0xC1) != 0xC1)
            pulseStart = now;
        break;
    case reg::Trigger:
        singleArmed = true;
        break;
    case reg::SamplingRate:
    case reg::Ch1Options:
    case reg::Ch2Options:
    case reg::Ch1Gain:
    case reg::Ch2Gain:
    case reg::ChdOptions:
        invalidateAcquisition();
        break;
    default:
        break;
    }
    configure();
}

QByteArray InstrumentModel::command(char letter, quint16 value, quint16 index)
{
    switch (letter) {
    case 'a':
        return firmware.leftJustified(4, ' ', true);
    case 'b':
        setReg(index, quint8(value & 0xFF));
        break;
    case 'c': {
        const quint32 f = quint32(value) << 16 | index;
        for (int i = 0; i < 4; ++i)
            settings[size_t(reg::Frequency + i)] = quint8(f >> (8 * i));
        configure();
        break;
    }
    case 'd':
        stored = settings;
        break;
    case 'e':
        storedWave = wave;
        break;
    case 'f':
        acquiring = false;
        break;
    case 'g':
        acquiring = true;
        singleArmed = true;
        break;
    case 'h':
        forceOnce = true;
        break;
    case 'i':
        autoSetup();
        break;
    case 'j':
        settings[reg::PostTriggerLow] = quint8(value & 0xFF);
        settings[reg::PostTriggerHigh] = quint8(value >> 8);
        break;
    case 'k':
        std::memcpy(settings.data(), factorySettings().constData(), 44);
        singleArmed = true;
        invalidateAcquisition();
        configure();
        break;
    case 'm':
        return meterReply();
    case 'u':
        return settingsBlock();
    default:
        break;
    }
    return QByteArray();
}

double InstrumentModel::timePerDivision(int index) { return TimePerDiv[clampInt(index, 0, 21)]; }

double InstrumentModel::voltsPerDivision(int gainIndex) { return VoltsPerDiv[clampInt(gainIndex, 0, 6)]; }

InstrumentModel::TriggerMode InstrumentModel::triggerMode() const
{
    const quint8 v = settings[reg::Trigger];
    // Bit 1 is single-shot whatever bit 0 says: the byte a program writes
    // for Single (3) has both.
    if (v & 2)
        return TriggerMode::Single;
    if (v & 1)
        return TriggerMode::Normal;
    if (v & 4)
        return TriggerMode::Auto;
    return TriggerMode::Free;
}

InstrumentModel::TriggerType InstrumentModel::triggerType() const
{
    const quint8 v = settings[reg::Trigger];
    if (v & 0x80)
        return (v & 0x08) ? TriggerType::Falling : TriggerType::Rising;
    if (v & 0x20)
        return (v & 0x08) ? TriggerType::NegativeSlope : TriggerType::PositiveSlope;
    if (v & 0x40)
        return TriggerType::Window;
    return TriggerType::Dual;
}

int InstrumentModel::triggerIndex() const
{
    const qint16 post = qint16(settings[reg::PostTriggerLow] | settings[reg::PostTriggerHigh] << 8);
    return clampInt(256 - post, 0, 255);
}

quint32 InstrumentModel::desiredFrequency() const
{
    quint32 f = 0;
    for (int i = 0; i < 4; ++i)
        f |= quint32(settings[size_t(reg::Frequency + i)]) << (8 * i);
    return f;
}

double InstrumentModel::ch2Input(double t) const
{
    const double x = t * Ch2Frequency;
    const double phase = x - std::floor(x);
    return Ch2Amplitude * (phase < 0.5 ? -1.0 + 4.0 * phase : 3.0 - 4.0 * phase);
}

double InstrumentModel::channelLevel(int channel, double t)
{
    const quint8 own = settings[size_t(channel == 1 ? reg::Ch1Options : reg::Ch2Options)];
    const quint8 other = settings[size_t(channel == 1 ? reg::Ch2Options : reg::Ch1Options)];
    double a = channel == 1 ? ch1Input(t) : ch2Input(t);
    if (own & 0x10)
        a = -a;
    double x = a;
    if (own & 0x40) {
        double b = channel == 1 ? ch2Input(t) : ch1Input(t);
        if (other & 0x10)
            b = -b;
        x = (own & 0x80) ? a - b : a * b;
    }
    const double vdiv = voltsPerDivision(settings[size_t(channel == 1 ? reg::Ch1Gain : reg::Ch2Gain)]);
    return ZeroLevel + x * CountsPerDiv / vdiv;
}

quint8 InstrumentModel::logicAt(double t)
{
    quint8 bits = bus.level(t);
    if (settings[reg::ChdOptions] & 0x10)
        bits = quint8(~bits);
    return bits;
}

double InstrumentModel::noise()
{
    if (noiseSigma <= 0)
        return 0.0;
    double sum = 0.0;
    for (int i = 0; i < 4; ++i) {
        rng ^= rng >> 12;
        rng ^= rng << 25;
        rng ^= rng >> 27;
        sum += double((rng * 0x2545F4914F6CDD1Dull) >> 11) / double(1ull << 53) - 0.5;
    }
    return sum / 0.5773502691896258 * noiseSigma; // four uniforms have sigma 1/sqrt(3)
}

quint8 InstrumentModel::toSample(double up) const
{
    const long s = std::lround(255.0 - up);
    return quint8(s < 0 ? 0 : (s > 255 ? 255 : s));
}

void InstrumentModel::sampleInto(quint8 *frame, int i, double t)
{
    const double n1 = noise() * CountsPerDiv / voltsPerDivision(settings[reg::Ch1Gain]);
    const double n2 = noise() * CountsPerDiv / voltsPerDivision(settings[reg::Ch2Gain]);
    double up1 = channelLevel(1, t) + n1;
    double up2 = channelLevel(2, t) + n2;
    if (!slowTimeBase()) {
        // The instrument averages each sample position over successive acquisitions.
        if (settings[reg::Ch1Options] & 0x20)
            up1 = average1[size_t(i)] = averageValid ? average1[size_t(i)] + (up1 - average1[size_t(i)]) / 4 : up1;
        if (settings[reg::Ch2Options] & 0x20)
            up2 = average2[size_t(i)] = averageValid ? average2[size_t(i)] + (up2 - average2[size_t(i)]) / 4 : up2;
    }
    frame[i] = toSample(up1);
    frame[256 + i] = toSample(up2);
    frame[512 + i] = logicAt(t);
}

double InstrumentModel::triggerSourceLevel(double t)
{
    const int source = settings[reg::TriggerSource];
    if (source >= 2 && source <= 9)
        return (logicAt(t) >> (source - 2) & 1) ? 255.0 : 0.0;
    if (source == 10) // EXT is wired to the generator output
        return ZeroLevel + ch1Input(t) * CountsPerDiv / voltsPerDivision(settings[reg::Ch1Gain]);
    return channelLevel(source == 1 ? 2 : 1, t);
}

double InstrumentModel::sampleInterval() const
{
    const int tb = timeBaseIndex();
    return TimePerDiv[tb] / (tb >= FirstSlowTimeBase ? SlowSamplesPerDiv : FastSamplesPerDiv);
}

double InstrumentModel::frameInterval() const
{
    const double period = rate > 0 ? 1.0 / rate : 0.0;
    if (snifferRunning())
        return rate > 0 ? period : SnifferInterval;
    if (slowTimeBase())
        return std::max(period, sampleInterval());
    return std::max(period, 256 * sampleInterval());
}

void InstrumentModel::advanceClock(double seconds)
{
    if (seconds > 0)
        now += seconds;
}

int InstrumentModel::nextFrame(quint8 *dst)
{
    if (snifferRunning())
        return snifferFrame(dst);
    if (slowTimeBase())
        return slowFrame(dst);
    return scopeFrame(dst);
}

int InstrumentModel::scopeFrame(quint8 *dst)
{
    const double interval = frameInterval();
    const TriggerMode mode = triggerMode();
    if (!acquiring || (mode == TriggerMode::Single && !singleArmed && !forceOnce)) {
        now += interval;
        return 0;
    }
    const double dt = sampleInterval();
    const int index = triggerIndex();
    double start = now;
    bool triggered = false;
    if (mode != TriggerMode::Free && !forceOnce) {
        const double holdOff = settings[reg::TriggerHold] * 1e-3;
        const double first = std::max(now + index * dt, lastTrigger + holdOff);
        const double timeout = (settings[reg::TriggerTimeout] + 1) * TriggerTimeoutStep;
        const int limit = int(std::min<double>(MaxTriggerSearch, std::max(256.0, timeout / dt)));
        const TriggerType type = triggerType();
        const int source = settings[reg::TriggerSource];
        const bool logic = source >= 2 && source <= 10;
        // Level registers hold sample values; the search runs in "up" units
        // (255 - sample), where a rising edge rises on the screen.
        const double level = logic ? 128.0 : 255.0 - settings[reg::TriggerLevel];
        const double lo = 255.0 - std::max(settings[reg::WindowLevel1], settings[reg::WindowLevel2]);
        const double hi = 255.0 - std::min(settings[reg::WindowLevel1], settings[reg::WindowLevel2]);
        double prev = triggerSourceLevel(first - dt);
        for (int k = 0; k < limit; ++k) {
            const double t = first + k * dt;
            const double cur = triggerSourceLevel(t);
            const bool rising = prev < level && cur >= level;
            const bool falling = prev >= level && cur < level;
            bool hit = false;
            switch (type) {
            case TriggerType::Rising:
                hit = rising;
                break;
            case TriggerType::Falling:
                hit = falling;
                break;
            case TriggerType::Dual:
                hit = rising || falling;
                break;
            case TriggerType::PositiveSlope:
                hit = rising && (logic || cur - prev >= SlopeMinimum);
                break;
            case TriggerType::NegativeSlope:
                hit = falling && (logic || prev - cur >= SlopeMinimum);
                break;
            case TriggerType::Window:
                hit = logic ? cur != prev : (prev >= lo && prev <= hi) && (cur < lo || cur > hi);
                break;
            }
            if (hit) {
                triggered = true;
                lastTrigger = t;
                start = t - index * dt;
                break;
            }
            prev = cur;
        }
        if (!triggered && mode != TriggerMode::Auto) {
            now = first + limit * dt;
            return 0;
        }
    }
    if (mode == TriggerMode::Single && triggered)
        singleArmed = false;
    forceOnce = false;
    for (int i = 0; i < 256; ++i)
        sampleInto(dst, i, start + i * dt);
    averageValid = true;
    now = std::max(now + interval, start + 256 * dt);
    dst[768] = ++counter;
    dst[769] = 0;
    return 770;
}

int InstrumentModel::slowFrame(quint8 *dst)
{
    const double dt = sampleInterval();
    if (!recordValid) {
        // Start with a full record, as if the instrument had been sampling all along.
        for (int i = 0; i < 256; ++i)
            sampleInto(record.data(), i, now - (256 - i) * dt);
        recordWrite = 0;
        nextRecordSample = now;
        recordValid = true;
    }
    const double interval = frameInterval();
    now += interval;
    if (!acquiring) {
        nextRecordSample = now;
        return 0;
    }
    int added = 0;
    while (nextRecordSample <= now && added < 256) {
        sampleInto(record.data(), recordWrite, nextRecordSample);
        recordWrite = (recordWrite + 1) & 0xFF;
        nextRecordSample += dt;
        ++added;
    }
    if (nextRecordSample <= now)
        nextRecordSample = now + dt;
    forceOnce = false;
    std::memcpy(dst, record.data(), 768);
    dst[768] = ++counter;
    dst[769] = quint8(recordWrite);
    return 770;
}

void InstrumentModel::nextStreamSample(quint8 out[3])
{
    quint8 frame[770];
    sampleInto(frame, 0, now);
    out[0] = frame[0];
    out[1] = frame[256];
    out[2] = frame[512];
    now += sampleInterval();
}

void InstrumentModel::startCapture()
{
    captureA.fill(0, CaptureSize);
    captureB.fill(0, CaptureSize);
    captureI2c.fill(0, I2cCaptureSize);
    i2cFlags.fill(0, 256);
    countA = countB = countI2c = 0;
    capturing = true;
    nextCycle = bus.cycleIndex(now) + 1;
}

void InstrumentModel::captureUntil(double t)
{
    const bool circular = settings[reg::Trigger] & 0x10;
    const bool single = settings[reg::Cursors] & 0x80;
    const qint64 last = bus.cycleIndex(t);
    // Older cycles would be overwritten anyway; bound the work after a long gap.
    nextCycle = std::max(nextCycle, last - 2048);
    auto put = [&](QByteArray &buf, int &count, int capacity, quint8 b) -> int {
        if (circular) {
            const int at = count;
            buf[at] = char(b);
            count = (count + 1) % capacity;
            return at;
        }
        if (count >= capacity) {
            if (single) {
                capturing = false;
                return -1;
            }
            count = 0; // continuous: start a new capture
        }
        buf[count] = char(b);
        return count++;
    };
    while (capturing && nextCycle <= last) {
        const BusTraffic::Exchange &x = bus.exchange(nextCycle);
        if (nextCycle * bus.cyclePeriod() + x.endOffset > t)
            break;
        ++nextCycle;
        const int protocol = settings[reg::Protocol];
        if (protocol == BusTraffic::I2c) {
            for (int i = 0; i < x.i2cBytes.size() && capturing; ++i) {
                const int p = put(captureI2c, countI2c, I2cCaptureSize, quint8(x.i2cBytes[i]));
                if (p < 0)
                    break;
                const int k = p % 4;
                quint8 flags = quint8(i2cFlags[p / 4]);
                flags &= quint8(~(3 << (6 - 2 * k)));
                if (x.i2cFlags[i] & 2)
                    flags |= quint8(1 << (7 - 2 * k));
                if (x.i2cFlags[i] & 1)
                    flags |= quint8(1 << (6 - 2 * k));
                i2cFlags[p / 4] = char(flags);
            }
        } else {
            for (char b : x.channelA)
                if (put(captureA, countA, CaptureSize, quint8(b)) < 0)
                    break;
            for (char b : x.channelB)
                if (capturing && put(captureB, countB, CaptureSize, quint8(b)) < 0)
                    break;
        }
    }
}

int InstrumentModel::snifferFrame(quint8 *dst)
{
    now += frameInterval();
    if (!acquiring)
        return 0;
    captureUntil(now);
    std::memset(dst, 0, SnifferBytes);
    int first = 0, second = 0;
    if (settings[reg::Protocol] == BusTraffic::I2c) {
        std::memcpy(dst, captureI2c.constData(), I2cCaptureSize);
        std::memcpy(dst + 1024, i2cFlags.constData(), 256);
        first = countI2c;
    } else {
        std::memcpy(dst, captureA.constData(), CaptureSize);
        std::memcpy(dst + 640, captureB.constData(), CaptureSize);
        first = countA;
        second = countB;
    }
    dst[1280] = ++counter;
    dst[1281] = quint8(first);
    dst[1282] = quint8(first >> 8);
    dst[1283] = quint8(second);
    dst[1284] = quint8(second >> 8);
    return SnifferBytes;
}

double InstrumentModel::peakToPeak(int channel, double *mean) const
{
    double lo = 1e9, hi = -1e9, sum = 0.0;
    constexpr int Points = 2048;
    if (channel == 1) {
        const Generator::Parameters p = generator.parametersAt(now);
        const double span = (p.frequency > 0 && p.waveform != 0) ? 1.0 / p.frequency : 0.02;
        for (int i = 0; i < Points; ++i) {
            const double v = generator.valueWith(p, now + span * i / Points);
            lo = std::min(lo, v);
            hi = std::max(hi, v);
            sum += v;
        }
    } else {
        for (int i = 0; i < Points; ++i) {
            const double v = ch2Input(now + i / (Ch2Frequency * Points));
            lo = std::min(lo, v);
            hi = std::max(hi, v);
            sum += v;
        }
    }
    if (mean)
        *mean = sum / Points;
    return hi - lo;
}

double InstrumentModel::counterFrequency() const
{
    const int source = settings[reg::TriggerSource];
    if (source == 1)
        return Ch2Frequency;
    if (source >= 2 && source <= 9)
        return const_cast<BusTraffic &>(bus).lineFrequency(source - 2);
    const Generator::Parameters p = generator.parametersAt(now);
    return p.waveform == 0 ? 0.0 : p.frequency;
}

QByteArray InstrumentModel::meterReply()
{
    QByteArray reply(4, '\0');
    const quint8 mode = settings[reg::MStatus];
    auto putVolts = [&](int at, double volts) {
        const int counts = clampInt(int(std::lround(volts / MeterVoltsPerCount)), -25599, 25599);
        const quint16 raw = quint16(qint16(counts));
        reply[at] = char(raw & 0xFF);
        reply[at + 1] = char(raw >> 8);
    };
    auto putCount = [&](qint64 n) {
        const qint32 v = qint32(std::min<qint64>(n, 0x7FFFFFFF));
        for (int i = 0; i < 4; ++i)
            reply[i] = char(quint32(v) >> (8 * i));
    };
    const bool b6 = mode & 0x40, b7 = mode & 0x80;
    if (b6 && b7) {
        putCount(qint64(std::floor(counterFrequency() * std::max(0.0, now - pulseStart))));
    } else if (b6) {
        putVolts(0, peakToPeak(1));
        putVolts(2, peakToPeak(2));
    } else if (b7) {
        double m1 = 0, m2 = 0;
        peakToPeak(1, &m1);
        peakToPeak(2, &m2);
        putVolts(0, m1);
        putVolts(2, m2);
    } else {
        putCount(std::llround(counterFrequency()));
    }
    return reply;
}

void InstrumentModel::autoSetup()
{
    const Generator::Parameters p = generator.parametersAt(now);
    const double span = (p.frequency > 0 && p.waveform != 0) ? 1.0 / p.frequency : 0.02;
    double lo = 1e9, hi = -1e9;
    const quint8 options = settings[reg::Ch1Options];
    for (int i = 0; i < 1024; ++i) {
        double v = generator.valueWith(p, now + span * i / 1024);
        if (options & 0x10)
            v = -v;
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    const double extent = std::max(std::fabs(lo), std::fabs(hi));
    int gain = 0;
    for (int g = 6; g >= 0; --g)
        if (extent <= 3.5 * VoltsPerDiv[g]) {
            gain = g;
            break;
        }
    int timeBase = 7;
    if (p.frequency > 0 && p.waveform != 0) {
        timeBase = FirstSlowTimeBase - 1;
        for (int i = 0; i < FirstSlowTimeBase; ++i)
            if (8 * TimePerDiv[i] >= 2.0 / p.frequency) { // two periods on the screen
                timeBase = i;
                break;
            }
    }
    setReg(reg::Ch1Gain, quint8(gain));
    setReg(reg::SamplingRate, quint8(timeBase));
    setReg(reg::Ch1Options, quint8(options | 0x01));
    setReg(reg::TriggerSource, 0);
    setReg(reg::Trigger, quint8((settings[reg::Trigger] & ~0x07) | 0x04));
    const int level = int(std::lround(ZeroLevel + (lo + hi) / 2 * CountsPerDiv / VoltsPerDiv[gain]));
    setReg(reg::TriggerLevel, quint8(clampInt(255 - level, 3, 252)));
    acquiring = true;
}

} // namespace quorvelsim
