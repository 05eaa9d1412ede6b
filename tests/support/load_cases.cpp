#include "load_cases.h"

#include <algorithm>
#include <cmath>
#include <sstream>

std::string seconds(double value)
{
    std::ostringstream text;
    text.precision(10);
    text << value << " sec";
    return text.str();
}

const std::vector<const char *> kWholeFiles = {
    "u8.wav",        "s16.wav",        "s24.wav",         "s32.wav",        "f32.wav",       "f64.wav",
    "s16.aiff",      "s16.flac",       "long.flac",       "s24.flac",       "r22050.flac",   "flac.oga",
    "alac.m4a",      "wavpack.wv",     "mp3.mp3",         "lame4.mp3",      "cbr3.mp3",      "vbr_pink.mp3",
    "vbr_noxing.mp3", "r22050.mp3",    "r48000.mp3",      "aac.m4a",        "aac_pink.m4a",  "adts.aac",
    "aac6.m4a",      "opus.ogg",       "opus_pink.opus",  "opus6.opus",     "vorbis.ogg",    "vorbis_pink.ogg",
    "start.ts",      "mp2.ts",         "video.mkv",       "twostreams.mkv", "sine.flac",     "sine.mp3",
    "ch1.wav",       "ch2.wav",        "ch3.wav",         "ch4.wav",        "ch5.wav",       "ch6.wav",
    "ch7.wav",       "ch8.wav",        "pipe.flac",       "pipe.mp3",       "oggenc.ogg",    "opusenc.opus",
    "lame.mp3",      "flaccli.flac",   "sox.ogg",         "sox24.wav",      "sndfile.ogg",   "aac_bursts.m4a",
    "reset.ts",      "jump.ts",        "chain.ogg",       "gap_ac3.mp4",    "gap_eac3.mov",  "ima.mov",
    "g722.wav",      "s64.wav",        "ima.wav",         "msadpcm.wav",    "alac.caf",      "sndfile.caf",
    "sndfile_ima.wav", "id3v1.flac",   "captured.opus",   "pipe.wav",       "soxpipe.wav",   "mono.mp3",
    "rates.mp3",     "layout.aac",     "formats.ogg",     "alt64.mp3",
};

void PrintTo(const SeamCase &c, std::ostream *out)
{
    *out << c.fixture << " from " << c.start << " s";
    if (c.length > 0)
        *out << ", " << c.length << " s long";
}

std::string seam_message(const SeamCase &c, const std::string &path)
{
    if (c.length > 0)
        return "importreplace " + path + " " + seconds(c.start) + " " + seconds(c.length);
    return "replace " + path + " " + seconds(c.start);
}

Span section_of(const Decoded &reference, double start, double length)
{
    long first = lround(start * reference.rate);
    long frames = std::min(lround(length * reference.rate), reference.frames() - first);
    return {0, first, frames};
}

const std::vector<SeamCase> kSeams = {
    {"u8.wav", 1, 0},            {"u8.wav", 0.6, 0.9},          {"s16.wav", 1, 0},
    {"s16.wav", 0.6, 0.9},       {"s24.wav", 1, 0},             {"s24.wav", 0.6, 0.9},
    {"s32.wav", 1, 0},           {"s32.wav", 0.6, 0.9},         {"f32.wav", 1, 0},
    {"f32.wav", 0.6, 0.9},       {"f64.wav", 1, 0},             {"f64.wav", 0.6, 0.9},
    {"s16.aiff", 1, 0},          {"s16.aiff", 0.6, 0.9},        {"s16.flac", 1, 0},
    {"s16.flac", 0.6, 0.9},      {"long.flac", 13.3, 0},        {"long.flac", 17.5, 5},
    {"s24.flac", 0.77, 0},       {"s24.flac", 1.3, 0.5},        {"r22050.flac", 0.5, 0},
    {"r22050.flac", 1.1, 0.5},   {"flac.oga", 1, 0},            {"flac.oga", 0.6, 0.9},
    {"alac.m4a", 1, 0},          {"alac.m4a", 0.6, 0.9},        {"wavpack.wv", 1, 0},
    {"wavpack.wv", 0.6, 0.9},    {"video.mkv", 1, 0},           {"video.mkv", 0.6, 0.9},
    {"ch1.wav", 1, 0},           {"ch3.wav", 0.6, 0.9},         {"ch5.wav", 1, 0},
    {"ch8.wav", 0.6, 0.9},       {"pipe.flac", 1, 0},           {"pipe.flac", 0.6, 0.9},
    {"flaccli.flac", 1.9, 0},    {"sox24.wav", 0.2, 1.3},       {"mp3.mp3", 1, 0},
    {"mp3.mp3", 0.6, 0.9},       {"lame4.mp3", 2, 0},           {"lame4.mp3", 3.5, 1},
    {"cbr3.mp3", 1.3, 0},        {"cbr3.mp3", 0.7, 0.5},        {"cbr3.mp3", 1.2, 0.5},
    {"cbr3.mp3", 2.1, 0.5},      {"vbr_pink.mp3", 1, 0},        {"vbr_pink.mp3", 2.6, 0},
    {"vbr_pink.mp3", 0.5, 0.5},  {"vbr_pink.mp3", 1, 0.5},      {"vbr_pink.mp3", 1.7, 0.5},
    {"vbr_pink.mp3", 2.2, 0.5},  {"vbr_noxing.mp3", 2, 0},      {"vbr_noxing.mp3", 1.5, 1},
    {"r22050.mp3", 1.2, 0},      {"r22050.mp3", 0.4, 1},        {"r48000.mp3", 0.7, 0},
    {"pipe.mp3", 1.4, 0},        {"lame.mp3", 1.2, 0},          {"lame.mp3", 0.9, 0.5},
    {"aac.m4a", 1, 0},           {"aac.m4a", 0.6, 0.9},         {"aac_pink.m4a", 0.9, 0},
    {"aac_pink.m4a", 2.3, 0},    {"aac_pink.m4a", 0.45, 1},     {"aac_pink.m4a", 1.71, 0.6},
    {"adts.aac", 1.5, 0},        {"adts.aac", 1, 1},            {"aac6.m4a", 0.8, 0},
    {"aac6.m4a", 0.3, 0.6},      {"opus.ogg", 1, 0},            {"opus.ogg", 0.6, 0.9},
    {"opus_pink.opus", 1.37, 0}, {"opus_pink.opus", 0.61, 0.5}, {"opus_pink.opus", 2.2, 0.7},
    {"opus_pink.opus", 2.5, 1},  {"opus6.opus", 1.1, 0},        {"opusenc.opus", 0.9, 0},
    {"opusenc.opus", 1.33, 0.5}, {"vorbis.ogg", 1, 0},          {"vorbis.ogg", 0.6, 0.9},
    {"vorbis_pink.ogg", 1.1, 0}, {"vorbis_pink.ogg", 0.33, 1},  {"vorbis_pink.ogg", 2.05, 0.5},
    {"oggenc.ogg", 1.6, 0},      {"oggenc.ogg", 0.8, 0.4},      {"sox.ogg", 1.25, 0.5},
    {"sndfile.ogg", 1.1, 0},     {"sndfile.ogg", 1.2, 0.3},     {"sndfile.ogg", 2.4, 0.5},
    {"sndfile.ogg", 0.6, 0.5},   {"aac_bursts.m4a", 0.99, 0},   {"aac_bursts.m4a", 1.52, 0.4},
    {"aac_pns.m4a", 1.3, 0},     {"aac_pns.m4a", 0.7, 4.5},
    {"start.ts", 1, 0},          {"start.ts", 0.6, 0.9},        {"mp2.ts", 2.5, 0},
    {"mp2.ts", 3.3, 1},
    {"reset.ts", 6.2, 0},        {"reset.ts", 1.5, 4},          {"reset.ts", 8.3, 3},
    {"jump.ts", 6.2, 0},         {"jump.ts", 2.2, 3},           {"jump.ts", 9.1, 2},
    {"chain.ogg", 7.7, 0},       {"chain.ogg", 2.1, 3},         {"chain.ogg", 9.4, 2.5},
    {"gap_ac3.mp4", 5.1, 0},     {"gap_ac3.mp4", 9.3, 2},       {"gap_eac3.mov", 4.5, 0},
    {"gap_eac3.mov", 8.2, 2.5},  {"ima.mov", 6.3, 0},           {"ima.mov", 7.1, 3},
    {"g722.wav", 4.1, 0},        {"g722.wav", 5.2, 3},          {"s64.wav", 0.6, 0.9},
    {"ima.wav", 7.7, 0},         {"msadpcm.wav", 3.4, 2},       {"sndfile_ima.wav", 6.1, 0},
    {"sndfile_ima.wav", 11, 2},  {"mono.mp3", 7.5, 0},          {"mono.mp3", 2, 3},
    {"rates.mp3", 2.5, 3},       {"layout.aac", 4, 0},          {"formats.ogg", 2.5, 1},
};

std::string seam_name(const ::testing::TestParamInfo<SeamCase> &info)
{
    const SeamCase &c = info.param;
    std::ostringstream name;
    name << c.fixture << (c.length > 0 ? "_section_" : "_replace_") << c.start;
    if (c.length > 0)
        name << "_" << c.length;
    return case_name(name.str());
}
