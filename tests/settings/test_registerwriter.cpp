// The register writer's hold-back rule: writes while a read block is applied
// are held and sent at the end only where they differ from the byte read.
#include "quorveltest.h"

#include "settings/registerwriter.h"

#include <QtTest>

namespace {

// Stands for the instrument: keeps what reached it, in order.
struct RecordingPort : reg::InstrumentPort
{
    QStringList received;
    void writeRegister(quint16 index, quint8 value) override
    {
        received << QStringLiteral("b %1=%2").arg(index).arg(value);
    }
    void requestGeneratorFrequency(quint16 value, quint16 index) override
    {
        received << QStringLiteral("c %1,%2").arg(value).arg(index);
    }
};

// One step of a script run against the writer.
struct Step
{
    enum Kind { Write, Frequency, Begin, End, Keep } kind;
    int a = 0, b = 0, c = 0;
};

reg::DeviceSettings readBlock()
{
    reg::DeviceSettings block;
    block[reg::Gain1] = 3;
    block[reg::MStatus] = 0x10;
    block[reg::Offset] = 128;
    block.setDesiredFrequency(100000); // 1000 Hz
    return block;
}

} // namespace

Q_DECLARE_METATYPE(QVector<Step>)

class TestRegisterWriter : public QObject
{
    Q_OBJECT

private slots:
    void holdBack_data()
    {
        QTest::addColumn<QVector<Step>>("steps");
        QTest::addColumn<QStringList>("sent");
        using S = Step;
        QTest::newRow("outside a read every write goes at once")
            << QVector<Step>{{S::Write, reg::Gain1, 3}, {S::Write, reg::Gain1, 3}}
            << QStringList{"b 12=3", "b 12=3"};
        QTest::newRow("a write equal to the byte read is not sent")
            << QVector<Step>{{S::Begin}, {S::Write, reg::Gain1, 3}, {S::End}} << QStringList{};
        QTest::newRow("a write that differs is sent at the end, not before")
            << QVector<Step>{{S::Begin}, {S::Write, reg::Gain1, 5}, {S::Write, reg::Offset, 128}, {S::End}}
            << QStringList{"b 12=5"};
        QTest::newRow("the last write of a register wins")
            << QVector<Step>{{S::Begin}, {S::Write, reg::Gain1, 5}, {S::Write, reg::Gain1, 3}, {S::End}}
            << QStringList{};
        QTest::newRow("held writes go out in register order")
            << QVector<Step>{{S::Begin}, {S::Write, reg::Offset, 7}, {S::Write, reg::SamplingRate, 9}, {S::End}}
            << QStringList{"b 0=9", "b 39=7"};
        QTest::newRow("the run state the window shows as read is not sent")
            << QVector<Step>{{S::Begin}, {S::Write, reg::MStatus, 0x21}, {S::Keep, reg::MStatus}, {S::End}}
            << QStringList{};
        QTest::newRow("kept only for that register")
            << QVector<Step>{{S::Begin}, {S::Write, reg::MStatus, 0x21}, {S::Write, reg::Gain1, 4},
                             {S::Keep, reg::MStatus}, {S::End}}
            << QStringList{"b 12=4"};
        QTest::newRow("registers past 39 are not held")
            << QVector<Step>{{S::Begin}, {S::Write, 40, 1}, {S::End}} << QStringList{"b 40=1"};
        QTest::newRow("the frequency the block holds is not asked for while applied")
            << QVector<Step>{{S::Begin}, {S::Frequency, 100000, 11, 22}, {S::End}} << QStringList{};
        QTest::newRow("another frequency is asked for at once")
            << QVector<Step>{{S::Begin}, {S::Frequency, 100001, 11, 22}, {S::Write, reg::Gain1, 6}, {S::End}}
            << QStringList{"c 11,22", "b 12=6"};
        QTest::newRow("outside a read the same frequency is asked for")
            << QVector<Step>{{S::Frequency, 100000, 11, 22}} << QStringList{"c 11,22"};
        QTest::newRow("after the read, writes go at once again")
            << QVector<Step>{{S::Begin}, {S::End}, {S::Write, reg::Gain1, 3}} << QStringList{"b 12=3"};
        QTest::newRow("a second begin inside a read changes nothing")
            << QVector<Step>{{S::Begin}, {S::Write, reg::Gain1, 5}, {S::Begin}, {S::End}} << QStringList{"b 12=5"};
    }
    void holdBack()
    {
        QFETCH(QVector<Step>, steps);
        QFETCH(QStringList, sent);
        RecordingPort port;
        reg::RegisterWriter writer(&port);
        const reg::DeviceSettings block = readBlock();
        bool nestedRefused = true;
        for (const Step &s : steps) {
            switch (s.kind) {
            case Step::Write:
                writer.write(quint16(s.a), quint8(s.b));
                break;
            case Step::Frequency:
                writer.requestFrequency(quint32(s.a), quint16(s.b), quint16(s.c));
                break;
            case Step::Begin:
                if (writer.isApplying()) {
                    reg::DeviceSettings other;
                    other[reg::Gain1] = 5;
                    nestedRefused = !writer.beginApplying(other) && writer.lastRead() == block;
                } else {
                    QVERIFY(writer.beginApplying(block));
                }
                break;
            case Step::End:
                writer.endApplying();
                break;
            case Step::Keep:
                writer.keepInstrumentValue(quint16(s.a));
                break;
            }
        }
        QVERIFY(nestedRefused);
        QVERIFY(!writer.isApplying());
        QCOMPARE(port.received, sent);
        QCOMPARE(writer.sentCount(), quint64(sent.size()));
    }

    // What an apply wrote back, in register order, for the info line.
    void writtenBackNamesWhatTheReadChanged()
    {
        RecordingPort port;
        reg::RegisterWriter writer(&port);
        QVERIFY(writer.beginApplying(readBlock()));
        writer.requestFrequency(10000000, 0x98, 0x9680); // differs from the 1000 Hz read
        writer.write(reg::Offset, 128);                   // as read
        writer.write(reg::Gain1, 6);
        writer.write(reg::MStatus, 0);
        writer.keepInstrumentValue(reg::MStatus);
        writer.endApplying();
        QCOMPARE(writer.writtenBack(), (QVector<quint16>{reg::Gain1, reg::DesiredFrequency}));
        QCOMPARE(reg::writtenBackText(writer.writtenBack()),
                 QString("Shown clamped and written back: M 12 Gain CH1, 40 Desired frequency"));
        // The next read starts a new list.
        QVERIFY(writer.beginApplying(readBlock()));
        writer.endApplying();
        QVERIFY(writer.writtenBack().isEmpty());
        QCOMPARE(reg::writtenBackText(writer.writtenBack()), QString());
    }

    void noPortSendsNothingButCounts()
    {
        reg::RegisterWriter writer;
        writer.write(reg::Gain1, 1);
        QCOMPARE(writer.sentCount(), quint64(1));
    }
};

QUORVEL_CORE_TEST_MAIN(TestRegisterWriter)
#include "test_registerwriter.moc"
