// Drives the core as a program without a display does: the link, the
// register writer, the settings codecs and frame decoding under a
// QCoreApplication. Ends with 0 when each gave the expected result.
#include "device/instrumentlink.h"
#include "display/traces.h"
#include "settings/registers.h"
#include "settings/registerwriter.h"

#include <QCoreApplication>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);

    InstrumentLink link;
    if (link.isConnected())
        return 1;
    reg::RegisterWriter writer(&link);
    // Held back while a block is applied, sent once it differs from the block.
    reg::DeviceSettings block;
    block[reg::Gain1] = 3;
    writer.beginApplying(block);
    writer.write(reg::Gain1, 3);
    writer.endApplying();
    if (writer.sentCount() != 0)
        return 2;
    if (reg::dumpLines(block).size() != 42)
        return 3;

    unsigned char frameBytes[frame::Size] = {};
    frame::TraceInputs inputs;
    frame::Traces traces;
    frame::buildTraces(frameBytes, inputs, traces);
    if (traces.ch1.isEmpty())
        return 4;
    return 0;
}
