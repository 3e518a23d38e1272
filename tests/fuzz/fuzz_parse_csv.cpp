// The custom wave parser fed arbitrary text. It must never write beyond the
// count it returns, never more than 256 bytes, and never store 0x80.
//
// Input: the text as Latin-1 bytes.

#include "instruments/customwave.h"

#include <QString>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

constexpr int guardSize = 64;
constexpr unsigned char guardByte = 0xA5;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text =
        QString::fromLatin1(reinterpret_cast<const char *>(data), int(std::min<size_t>(size, 1 << 20)));
    unsigned char wave[customwave::Samples + guardSize];
    std::memset(wave, guardByte, sizeof wave);
    const int n = customwave::parseCSV(text, wave);
    require(n >= 0 && n <= customwave::Samples);
    for (int i = 0; i < n; ++i)
        require(wave[i] != 0x80);
    for (int i = n; i < int(sizeof wave); ++i)
        require(wave[i] == guardByte);
    // Values and their count do not depend on how lines end.
    QString crlf = text;
    crlf.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    unsigned char again[customwave::Samples];
    std::memset(again, guardByte, sizeof again);
    require(customwave::parseCSV(crlf, again) == n);
    require(std::memcmp(again, wave, size_t(n)) == 0);
    return 0;
}
