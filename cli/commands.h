#pragma once
// The sub-commands against the instrument. Each returns the program's exit
// code (cli::Exit) and writes its errors to standard error, one line each.

#include "cli/options.h"

namespace cli {

// Set from the SIGINT/SIGTERM handler: the work in progress ends cleanly.
void requestStop();
bool stopRequested();

int runList();
int runInfo(const Common &common);
int runCapture(const Common &common, const CaptureOptions &options);
int runMeter(const Common &common, const MeterOptions &options);
int runGenerate(const Common &common, const GenerateOptions &options);

} // namespace cli
