#pragma once

#include "device/serialportconnection.h"
#include "device/wire.h"

// The serial wire (a Bluetooth serial port at 115 200 baud): each command is
// its letter followed by its arguments; replies come back on the same line,
// and while the stream is on ('q') the instrument sends frames or roll-mode
// samples, which the port's parser (SerialPortConnection) cuts out into the
// frame buffer on the GUI thread. Every request with a reply turns the
// stream off first, so stream bytes are not taken for the reply.
//
// A request without a usable reply (none within the bound of one request, or
// one of the wrong form: line noise, a reply cut or shifted) counts as a USB
// control request timing out: two in a row end the link.
class SerialWire : public InstrumentWire
{
    Q_OBJECT

public:
    explicit SerialWire(QObject *parent = nullptr);
    ~SerialWire() override;

    bool open(const QString &portName) override;
    void close() override;
    void release() override;

    QString firmwareVersion() override;
    bool readSettingsBlock() override;
    int requestMeter(unsigned char *dst) override;
    void request(uint8_t letter, quint16 value, quint16 index) override;
    void writeRegister(quint16 index, quint8 value) override;
    void sendCommand(char letter) override;
    void uploadWave(const signed char *wave) override;

    void startReception() override;
    // In roll mode the length is 3 (one sample) and the copy carries the
    // whole 770-byte frame the samples are written into.
    int copyLatestFrame(unsigned char *dst, int capacity, qint64 *receivedAtNs = nullptr) override;

    void setSamplingValue(int value) override;
    void setAcquiring(bool on) override;
    void streamOn() override;
    void streamOff() override;

private:
    void onNewData(int length);
    void noteReply(qint64 n);

    SerialPortConnection port;
    // The frame buffer the parser assembles frames in (GUI thread only), and
    // the length of the last delivery.
    unsigned char rxBuffer[frameBufferSize] = {};
    int rxLength = 0;
};
