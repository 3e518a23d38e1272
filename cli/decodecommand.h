#pragma once
// quorvel-cli decode: the logic lines of each frame through protocol
// decoders, one CSV line per annotation.

#include <QStringList>

namespace cli {

// True when the arguments (after the program name) are the decode command.
bool isDecodeCommand(const QStringList &arguments);
// Runs it; the exit code (cli::Exit).
int runDecodeCommand(const QStringList &arguments);

} // namespace cli
