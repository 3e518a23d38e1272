#pragma once

namespace decode {

// The decoder library on a Python older than 3.12 miscounts the references to
// Python's True and False: some decoders drop one per decoded frame (a UART
// decoder on an idle line, an SPI decoder whose select never falls), which
// frees the singletons after a few hundred frames and aborts the process.
// Newer Python makes both immortal; this gives them the same footing by
// holding a reference count no miscounting can use up. Call with the library
// initialised, before each decode.
void keepPythonBoolsAlive();

} // namespace decode
