#pragma once
// Control of the simulated instrument for tests, benchmarks and the demo.
//
// One simulated instrument exists per process. The libusb functions of
// quorvel_usbsim and the pseudo-terminal wire both talk to it, so a test can
// drive the program's transport and then look at what the instrument received
// (command log), what it holds (registers) and make it misbehave (faults).
// Every function here is thread-safe.
//
// Wire forms the instrument understands, besides the documented command set:
//
//  * Custom wave over USB: a bulk OUT of up to 256 bytes on endpoint 0x01
//    loads the generator's custom wave (signed samples, sample 0 first); it
//    plays at once. 'e' then keeps it in the instrument's own memory.
//  * Custom wave over the serial link: the letter 'l' (0x6C) followed by the
//    256 sample bytes. An 'l' whose 256 bytes do not follow within 1000 ms is
//    dropped together with the bytes received so far. 'e' stores it as on USB.
//    Both forms appear in the command log with the letter 'l' and the bytes
//    in `data`.
//  * Serial replies: 'a' and 'm' answer 4 bytes, 'u' (5-byte form) answers the
//    44-byte settings block. Letters the instrument does not know are ignored.
//    Fault::SerialJunkBeforeReply sends 0xA5 just ahead of a reply,
//    Fault::SerialJunkAfterReply 0xEE right after it, in the same write.
//  * While the sniffer runs the serial link carries no frames (a capture
//    frame does not fit its 768-byte payload); USB carries 1289-byte capture
//    frames instead of 770-byte oscilloscope frames.
//  * Serial stream after 'q': at time bases 0-10 whole frames between their
//    markers, paced by the frame rate and the line's byte rate; from 11 on the
//    stream start marker, then one 3-byte sample group per sample interval and
//    the end marker after every 256 samples. A sample that equals a marker is
//    sent with CH1 changed by one count. 'p' drops stream bytes not yet sent.
//    Garbage (Fault::SerialGarbage, setGarbageLength) uses bytes 0x80-0xFF
//    only, so it never forms a marker; a length that is no multiple of three
//    moves every later frame off a reader's groups of three.
//  * Line noise (Fault::SerialNoise): random bytes 0x00-0xFF at the line's
//    byte rate (setSerialByteRate), sent in bursts 12-30 ms apart whatever
//    else the line carries, so every reply comes with noise around it.
//
// Frame stamping (setFrameStamping): every USB frame is then filled with a
// pattern that depends on a per-frame sequence number, so that a consumer can
// tell a whole frame from one torn between two deliveries:
//     byte 0..3 = sequence number, least significant byte first
//     byte i >= 4 = stampByte(sequence, i)
// checkStampedFrame() verifies a buffer and returns its sequence number.

#include <QByteArray>
#include <QString>
#include <QVector>
#include <cstdint>

namespace quorvelsim {

// USB identity and endpoints of the instrument.
constexpr uint16_t UsbVendorId = 0x16D0;
constexpr uint16_t UsbProductId = 0x06F9;
constexpr uint8_t UsbRequestType = 0xC0;
constexpr uint8_t FrameEndpoint = 0x81;
constexpr uint8_t WaveEndpoint = 0x01;
constexpr int UsbInterface = 0;

constexpr int SettingsSize = 44;
constexpr int ScopeFrameSize = 770;
constexpr int SnifferFrameSize = 1289;
constexpr int CustomWaveSize = 256;
constexpr char SerialWaveUpload = 'l';

enum class Wire { Usb, Serial };

// One command as the instrument received it.
struct Command
{
    qint64 timeNs = 0; // monotonic clock, nanoseconds since the last reset()
    Wire wire = Wire::Usb;
    char letter = 0;   // request code / serial letter; 'l' for a custom wave upload
    quint16 value = 0; // USB wValue; serial 5-byte form: its value field; 'b': the register value
    quint16 index = 0; // USB wIndex; serial 5-byte form: its index field; 'b': the register index
    QByteArray data;   // the wave bytes of an upload
    bool answered = true; // false when a fault kept the instrument from acting on it
};

enum class Fault : unsigned {
    NoDevice = 1u << 0,       // enumeration shows no instrument
    OpenFails = 1u << 1,      // libusb_open of the instrument fails (LIBUSB_ERROR_ACCESS)
    ClaimFails = 1u << 2,     // claiming interface 0 fails (LIBUSB_ERROR_BUSY)
    ControlTimeout = 1u << 3, // control requests and bulk OUT end in LIBUSB_ERROR_TIMEOUT
    Unplugged = 1u << 4,      // pending and later IN transfers complete with
                              // LIBUSB_TRANSFER_NO_DEVICE, requests fail with LIBUSB_ERROR_NO_DEVICE;
                              // clearing it plugs in again: the instrument starts from its stored copy
    SerialSilent = 1u << 5,   // the serial wire reads commands but sends nothing
    SerialGarbage = 1u << 6,  // the serial wire sends garbage bytes between frames
    SerialJunkBeforeReply = 1u << 7, // the serial wire sends one junk byte ahead of each reply
    SerialJunkAfterReply = 1u << 8,  // the serial wire sends one junk byte (0xEE) after each reply
    SerialNoise = 1u << 9,           // line noise: random bytes at the line's byte rate, in bursts 12-30 ms apart
};

// Back to the state of a new process: factory settings (also in the stored
// copy), firmware "2.37", no faults, empty log, default frame rate, seeded noise.
void reset();

// Faults.
void setFault(Fault fault, bool on = true);
bool hasFault(Fault fault);
void clearFaults();
void unplug();                    // same as setFault(Fault::Unplugged)
void setControlTimeoutWait(int ms); // how long a timed-out request blocks; -1 (default): the request's own time-out
// With Fault::ControlTimeout: only requests with these letters time out
// ('l' for the custom wave's bulk OUT); empty (default): every request.
void setControlTimeoutRequests(const QByteArray &letters);
// Every `every`-th USB frame is sent with `length` bytes (1..1290) instead of
// its own length: cut short, or lengthened with stamp bytes. 0: off.
void setWrongLengthFrames(int every, int length);
void setGarbageLength(int bytes); // garbage bytes sent between serial frames (default 6)
void setShortReplies(int length);  // USB control replies cut to `length` bytes; -1 (default): whole
void setInstrumentCount(int count);    // matching instruments on the bus (default 1)
void setUnopenableInstruments(int count); // the first `count` of them fail to open
void setKernelDriverActive(bool active);  // a kernel driver holds interface 0 until detached

// Command log, oldest first.
QVector<Command> commandLog();
void clearCommandLog();
// The commands with the given letter, oldest first.
QVector<Command> commandsWithLetter(char letter);
// Waits up to timeoutMs for the log to hold at least `count` commands with `letter`.
bool waitForCommand(char letter, int count = 1, int timeoutMs = 5000);

// Registers of the working settings block (0..43).
quint8 peekRegister(int index);
void pokeRegister(int index, quint8 value);
QByteArray settingsBlock();            // working block, 44 bytes
QByteArray storedSettingsBlock();      // the copy 'd' keeps, 44 bytes
QByteArray customWave();               // the generator's custom wave, 256 bytes
void powerCycle();                     // working settings and wave reloaded from the stored copy

// Pace and identity.
void setFrameRate(double framesPerSecond); // 0: as fast as the client takes them (default 60)
double frameRate();
void setFirmwareVersion(const QByteArray &version); // first 4 bytes are sent, padded with blanks
QByteArray firmwareVersion();
void setNoiseLevel(double volts); // standard deviation of the input noise (default 0.004 V)
void setSerialByteRate(int bytesPerSecond); // serial pacing, 0 unlimited (default 11520 = 115200 baud)

// USB state for tests.
bool deviceOpen();       // a handle is open
bool interfaceClaimed(); // interface 0 is claimed
int transfersInFlight(); // submitted IN transfers not yet completed
quint64 framesDelivered(); // IN transfers completed with a frame since reset()

// Serial wire state for tests.
quint64 serialBytesRead();     // bytes the wire has read and parsed since reset()
int serialCommandsAbandoned(); // half commands dropped after a pause on the line since reset()

// Frame stamping, see the top of this file.
void setFrameStamping(bool on);
inline quint8 stampByte(quint32 sequence, int i)
{
    return quint8((sequence * 2654435761u + quint32(i) * 40503u) >> 13);
}
// True when the first `length` bytes of `frame` are one whole stamped frame.
bool checkStampedFrame(const unsigned char *frame, int length, quint32 *sequence = nullptr);

// Frame record: while on, every scope or capture frame the instrument sends
// is kept as it went out (the 770 or 1289 bytes of a USB frame, the 768-byte
// payload of a serial frame), the newest `limit` of them, oldest first, so a
// test can compare what a client wrote with what it was sent. Off by default;
// reset() turns it off and empties it.
void setFrameRecording(bool on, int limit = 10000);
QVector<QByteArray> recordedFrames();

// The in-process pseudo-terminal wire: returns the device path of the
// terminal a serial client opens, or an empty string on failure. A second
// start returns the running wire's path.
QString startPtyWire();
void stopPtyWire();
QString ptyWirePath();

} // namespace quorvelsim
