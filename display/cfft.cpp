#include "cfft.h"

#include <cmath>
#include <utility>

double complex::abs() const
{
    return std::sqrt(norm());
}

bool CFFT::Forward(complex *data, unsigned int N)
{
    if (!data || !isValidLength(N))
        return false;
    Rearrange(data, N);
    Perform(data, N, false);
    return true;
}

bool CFFT::Forward(const complex *in, complex *out, unsigned int N)
{
    if (!in || !out || !isValidLength(N))
        return false;
    Rearrange(in, out, N);
    Perform(out, N, false);
    return true;
}

bool CFFT::Inverse(complex *data, unsigned int N, bool scale)
{
    if (!data || !isValidLength(N))
        return false;
    Rearrange(data, N);
    Perform(data, N, true);
    if (scale)
        Scale(data, N);
    return true;
}

bool CFFT::Inverse(const complex *in, complex *out, unsigned int N, bool scale)
{
    if (!in || !out || !isValidLength(N))
        return false;
    Rearrange(in, out, N);
    Perform(out, N, true);
    if (scale)
        Scale(out, N);
    return true;
}

void CFFT::Rearrange(complex *data, unsigned int N)
{
    unsigned int target = 0;
    for (unsigned int position = 0; position < N; ++position) {
        if (position < target)
            std::swap(data[position], data[target]);
        unsigned int mask = N >> 1;
        while (target & mask) {
            target &= ~mask;
            mask >>= 1;
        }
        target |= mask;
    }
}

void CFFT::Rearrange(const complex *in, complex *out, unsigned int N)
{
    unsigned int target = 0;
    for (unsigned int position = 0; position < N; ++position) {
        out[target] = in[position];
        unsigned int mask = N >> 1;
        while (target & mask) {
            target &= ~mask;
            mask >>= 1;
        }
        target |= mask;
    }
}

void CFFT::Perform(complex *data, unsigned int N, bool inverse)
{
    const double pi = inverse ? 3.141592653589793 : -3.141592653589793;
    for (unsigned int step = 1; step < N; step <<= 1) {
        const unsigned int jump = step << 1;
        const double delta = pi / double(step);
        const double sine = std::sin(delta * 0.5);
        const complex multiplier(-2.0 * sine * sine, std::sin(delta));
        complex factor(1.0, 0.0);
        for (unsigned int group = 0; group < step; ++group) {
            for (unsigned int pair = group; pair < N; pair += jump) {
                const unsigned int match = pair + step;
                const complex product(factor * data[match]);
                data[match] = data[pair] - product;
                data[pair] += product;
            }
            factor = multiplier * factor + factor;
        }
    }
}

void CFFT::Scale(complex *data, unsigned int N)
{
    const double factor = 1.0 / double(N);
    for (unsigned int position = 0; position < N; ++position)
        data[position] *= factor;
}
