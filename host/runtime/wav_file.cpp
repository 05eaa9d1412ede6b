// Writing a buffer~ as a WAV file of 32-bit float samples: WAVE_FORMAT_IEEE_FLOAT for one
// or two channels, WAVE_FORMAT_EXTENSIBLE with the float sub-format for more; both with
// the fact chunk that non-PCM formats carry.
#include "host_internal.h"
#include "headless_host.h"
#include "host_platform.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

enum { WAVE_FORMAT_IEEE_FLOAT = 3, WAVE_FORMAT_EXTENSIBLE = 0xFFFE };

const unsigned char IEEE_FLOAT_SUBFORMAT[16] = {0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                                0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

void put16(std::string *out, uint32_t v)
{
    out->push_back((char)(v & 0xFF));
    out->push_back((char)((v >> 8) & 0xFF));
}

void put32(std::string *out, uint32_t v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

std::string header(long frames, long channels, double rate)
{
    bool extensible = channels > 2;
    uint32_t data_bytes = (uint32_t)(frames * channels * 4);
    uint32_t fmt_bytes = extensible ? 40 : 18;
    uint32_t block = (uint32_t)channels * 4;
    uint32_t sample_rate = (uint32_t)std::lround(rate);

    std::string h;
    h += "RIFF";
    put32(&h, 4 + (8 + fmt_bytes) + (8 + 4) + (8 + data_bytes));
    h += "WAVEfmt ";
    put32(&h, fmt_bytes);
    put16(&h, extensible ? WAVE_FORMAT_EXTENSIBLE : WAVE_FORMAT_IEEE_FLOAT);
    put16(&h, (uint32_t)channels);
    put32(&h, sample_rate);
    put32(&h, sample_rate * block);
    put16(&h, block);
    put16(&h, 32);
    put16(&h, extensible ? 22 : 0);
    if (extensible) {
        put16(&h, 32);   // valid bits per sample
        put32(&h, 0);    // no speaker positions
        h.append((const char *)IEEE_FLOAT_SUBFORMAT, sizeof IEEE_FLOAT_SUBFORMAT);
    }
    h += "fact";
    put32(&h, 4);
    put32(&h, (uint32_t)frames);
    h += "data";
    put32(&h, data_bytes);
    return h;
}

// Little-endian bytes of samples [first, first + count).
std::string sample_bytes(const std::vector<float> &samples, size_t first, size_t count)
{
    std::string out;
    out.reserve(count * 4);
    for (size_t i = first; i < first + count; i++) {
        uint32_t bits;
        memcpy(&bits, &samples[i], 4);
        put32(&out, bits);
    }
    return out;
}

// The samples go out in pieces, so that a long buffer~ is not held twice more as bytes.
bool write_samples(FILE *f, const std::vector<float> &samples)
{
    const size_t piece = 1 << 16;
    for (size_t first = 0; first < samples.size(); first += piece) {
        size_t count = samples.size() - first < piece ? samples.size() - first : piece;
        std::string bytes = sample_bytes(samples, first, count);
        if (fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size())
            return false;
    }
    return true;
}

} // namespace

bool host_write_wav(const std::string &name, const std::string &path, std::string *error)
{
    long frames = 0, channels = 0;
    double rate = 0;
    std::vector<float> samples;
    if (!host_buffer_read(name, &frames, &channels, &rate, &samples)) {
        *error = "no buffer~ " + name;
        return false;
    }
    if ((double)frames * channels * 4 + 80 > 4294967295.0) {
        *error = "buffer~ " + name + " is too large for a WAV file";
        return false;
    }
    FILE *f = host_fopen(path, "wb");
    if (!f) {
        *error = "cannot open " + path;
        return false;
    }
    std::string head = header(frames, channels, rate);
    bool ok = fwrite(head.data(), 1, head.size(), f) == head.size() && write_samples(f, samples);
    ok = fclose(f) == 0 && ok;
    if (!ok)
        *error = "cannot write " + path;
    return ok;
}
