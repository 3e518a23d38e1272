#pragma once

// Radix-2 FFT on contiguous arrays of complex numbers (real, imaginary, real,
// imaginary, ...). Twiddle factors come from a recurrence, so a transform
// allocates nothing and calls sin only twice per pass.

class complex
{
public:
    complex() = default;
    constexpr complex(double re, double im) : m_re(re), m_im(im) {}
    explicit constexpr complex(double re) : m_re(re) {}

    double re() const { return m_re; }
    double im() const { return m_im; }
    void re(double value) { m_re = value; }
    void im(double value) { m_im = value; }

    // Squared magnitude and magnitude.
    double norm() const { return m_re * m_re + m_im * m_im; }
    double abs() const;

    complex conjugate() const { return complex(m_re, -m_im); }

    complex operator+(const complex &o) const { return complex(m_re + o.m_re, m_im + o.m_im); }
    complex operator-(const complex &o) const { return complex(m_re - o.m_re, m_im - o.m_im); }
    complex operator*(const complex &o) const
    {
        return complex(m_re * o.m_re - m_im * o.m_im, m_re * o.m_im + m_im * o.m_re);
    }
    complex operator*(double f) const { return complex(m_re * f, m_im * f); }
    complex &operator+=(const complex &o)
    {
        m_re += o.m_re;
        m_im += o.m_im;
        return *this;
    }
    complex &operator-=(const complex &o)
    {
        m_re -= o.m_re;
        m_im -= o.m_im;
        return *this;
    }
    complex &operator*=(const complex &o) { return *this = *this * o; }
    complex &operator*=(double f)
    {
        m_re *= f;
        m_im *= f;
        return *this;
    }
    bool operator==(const complex &o) const { return m_re == o.m_re && m_im == o.m_im; }
    bool operator!=(const complex &o) const { return !(*this == o); }

private:
    double m_re = 0.0;
    double m_im = 0.0;
};

class CFFT
{
public:
    // Each returns false and leaves the data alone when a pointer is null or
    // N is not a non-zero power of two.
    static bool Forward(complex *data, unsigned int N);
    static bool Forward(const complex *in, complex *out, unsigned int N);
    static bool Inverse(complex *data, unsigned int N, bool scale = true);
    static bool Inverse(const complex *in, complex *out, unsigned int N, bool scale = true);

    static bool isValidLength(unsigned int N) { return N != 0 && (N & (N - 1)) == 0; }

protected:
    // Bit-reversal permutation, in place or into out.
    static void Rearrange(complex *data, unsigned int N);
    static void Rearrange(const complex *in, complex *out, unsigned int N);
    // Butterfly passes on bit-reversed data; no scaling.
    static void Perform(complex *data, unsigned int N, bool inverse = false);
    // Multiplies every element by 1/N.
    static void Scale(complex *data, unsigned int N);
};
