// The path from decoder to writer: the choice of path, the resampler's modes and
// matrices, rate conversion as the ffmpeg program does it, flushing and resetting, and
// error texts from several threads.
#include "fixtures.h"
#include "writer_test_frames.h"
#include "writer.h"
#include "loader.h"

#include <math.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

namespace {

typedef std::vector<std::pair<double, double>> Pairs;

struct Quiet {
    Quiet() { av_log_set_level(AV_LOG_QUIET); }
} quiet;

Pairs identity(int n)
{
    Pairs p;
    for (int c = 0; c < n; c++)
        p.push_back({c, c});
    return p;
}

struct MatrixCase {
    const char *name;
    Pairs route;        // empty: no route
    int requestedChannels;
    int resultChannels;
    int inChannels;
    vorlo_swrMode mode;
    std::vector<std::vector<double>> rows;  // empty: the library mixes
};

const double T = 1.0 / 3;

const MatrixCase kMatrices[] = {
    {"route averages", {{0, 0}, {1, 0}}, 0, 1, 2, VORLO_SWR_ROUTE, {{0.5, 0.5}}},
    {"route input out of range", {{5, 0}}, 0, 1, 2, VORLO_SWR_ROUTE, {{0, 0}}},
    {"route identity into 4", identity(VORLO_ROUTE_PAIRS), 0, 4, 2, VORLO_SWR_ROUTE, {{1, 0}, {0, 1}, {0, 0}, {0, 0}}},
    {"route pair given twice", {{0, 0}, {0, 0}, {1, 0}}, 0, 1, 2, VORLO_SWR_ROUTE, {{T, T}}},
    {"route silent input", {{-1, 1}, {1, 0}}, 0, 2, 2, VORLO_SWR_ROUTE, {{0, 1}, {0, 0}}},
    {"s_mono on 10", {}, 1, 1, 10, VORLO_SWR_MONO, {std::vector<double>(10, 0.1)}},
    {"s_stereo on 9", {}, 2, 2, 9, VORLO_SWR_STEREO,
     {{0.2, 0, 0.2, 0, 0.2, 0, 0.2, 0, 0.2}, {0, 0.2, 0, 0.2, 0, 0.2, 0, 0.2, 0.2}}},
    {"s_stereo on 10", {}, 2, 2, 10, VORLO_SWR_STEREO,
     {{0.2, 0, 0.2, 0, 0.2, 0, 0.2, 0, 0.2, 0}, {0, 0.2, 0, 0.2, 0, 0.2, 0, 0.2, 0, 0.2}}},
    {"s_stereo on 6", {}, 2, 2, 6, VORLO_SWR_STEREO, {}},
    {"s_stereo on 16", {}, 2, 2, 16, VORLO_SWR_STEREO, {}},
    {"s_mono on 24", {}, 1, 1, 24, VORLO_SWR_MONO, {}},
    {"s_mono on 8", {}, 1, 1, 8, VORLO_SWR_MONO, {}},
    {"equal count", {}, 0, 2, 2, VORLO_SWR_EQUAL, {}},
    {"other count", {}, 0, 3, 2, VORLO_SWR_OTHER, {}},
};

TEST(ChannelMatrix, ModesAndCoefficients)
{
    for (const MatrixCase &c : kMatrices) {
        SCOPED_TRACE(c.name);
        WriterRecord w;
        if (!c.route.empty())
            w.route(c.route);
        w.x->requestedChannels = (signed char)c.requestedChannels;
        w.x->resultChannels = c.resultChannels;
        vorlo_swrMode mode = vorlo_swrModeOf(w.x, c.inChannels);
        EXPECT_EQ(mode, c.mode);
        int out = vorlo_swrOutChannels(w.x, mode, c.inChannels);
        double *matrix = nullptr;
        int ret = vorlo_mixMatrix(w.x, mode, c.inChannels, out, &matrix);
        EXPECT_EQ(ret, c.rows.empty() ? 0 : 1);
        EXPECT_EQ(matrix == nullptr, c.rows.empty());
        if (matrix) {
            ASSERT_EQ((int)c.rows.size(), out);
            for (int o = 0; o < out; o++)
                for (int i = 0; i < c.inChannels; i++)
                    EXPECT_DOUBLE_EQ(matrix[o * c.inChannels + i], c.rows[o][i]) << "out " << o << " in " << i;
        }
        av_free(matrix);
    }
}

struct IdentityCase {
    const char *name;
    Pairs route;
    int resultChannels, inChannels;
    bool identity;
};

const IdentityCase kIdentities[] = {
    {"each channel to itself", identity(2), 2, 2, true},
    {"six channels to themselves", identity(6), 6, 6, true},
    {"listed in another order", {{1, 1}, {0, 0}}, 2, 2, true},
    {"into a wider result", identity(2), 4, 2, false},
    {"a channel left out", {{0, 0}}, 2, 2, false},
    {"a source channel dropped", identity(2), 2, 3, false},
    {"channels swapped", {{0, 1}, {1, 0}}, 2, 2, false},
    {"a pair given twice", {{0, 0}, {0, 0}, {1, 1}}, 2, 2, false},
    {"a silent output", {{0, 0}, {-1, 1}}, 2, 2, false},
    {"an input also sent elsewhere", {{0, 0}, {1, 1}, {0, 1}}, 2, 2, false},
    {"no route", {}, 2, 2, false},
};

TEST(ChannelMatrix, OnlyARouteOfEveryChannelToItselfIsAnIdentity)
{
    for (const IdentityCase &c : kIdentities) {
        SCOPED_TRACE(c.name);
        WriterRecord w;
        if (!c.route.empty())
            w.route(c.route);
        w.x->resultChannels = c.resultChannels;
        EXPECT_EQ(vorlo_routeIsIdentity(w.x, c.inChannels), c.identity);
    }
}

// Raw samples of every kind a format holds: its extremes, zero, and a spread of others
// (for floats also signed zero, subnormals, infinities and values beyond 1).
std::vector<double> raw_samples(AVSampleFormat format, size_t count)
{
    std::vector<double> edges;
    switch (av_get_packed_sample_fmt(format)) {
    case AV_SAMPLE_FMT_U8: edges = {0, 1, 127, 128, 255}; break;
    case AV_SAMPLE_FMT_S16: edges = {-32768, -32767, -1, 0, 1, 32767}; break;
    case AV_SAMPLE_FMT_S32: edges = {-2147483648.0, -2147483647.0, -1, 0, 1, 16777217, 2147483647.0}; break;
    default: edges = {0.0, -0.0, 1e-40, -1e-45, 1.0, -1.0, 3.5, INFINITY, -INFINITY, 1e30}; break;
    }
    std::vector<double> raw(edges);
    uint64_t state = 0x9e3779b97f4a7c15ull;
    while (raw.size() < count) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        uint32_t bits = (uint32_t)(state >> 32);
        switch (av_get_packed_sample_fmt(format)) {
        case AV_SAMPLE_FMT_U8: raw.push_back(bits & 0xff); break;
        case AV_SAMPLE_FMT_S16: raw.push_back((int16_t)bits); break;
        case AV_SAMPLE_FMT_S32: raw.push_back((int32_t)bits); break;
        default: raw.push_back(((double)bits / 4294967296.0 - 0.5) * 4.0); break;
        }
    }
    raw.resize(count);
    return raw;
}

// What lets the loader leave the resampler out: a route that sends every channel to itself
// at an unchanged rate writes exactly what the frame holds, in every sample format.
TEST(Resampler, AnIdentityRouteChangesNoSample)
{
    const AVSampleFormat formats[] = {AV_SAMPLE_FMT_U8,  AV_SAMPLE_FMT_S16,  AV_SAMPLE_FMT_S32,  AV_SAMPLE_FMT_FLT,
                                      AV_SAMPLE_FMT_DBL, AV_SAMPLE_FMT_U8P,  AV_SAMPLE_FMT_S16P, AV_SAMPLE_FMT_S32P,
                                      AV_SAMPLE_FMT_FLTP, AV_SAMPLE_FMT_DBLP};
    const int rows = 1000;
    for (AVSampleFormat format : formats)
        for (int channels : {1, 2, 3, 6}) {
            SCOPED_TRACE(std::string(av_get_sample_fmt_name(format)) + " " + std::to_string(channels));
            std::vector<double> raw = raw_samples(format, (size_t)rows * channels);
            WriterRecord routed(raw.size(), 9.0f), direct(raw.size(), 9.0f);
            routed.route(identity(channels));
            for (WriterRecord *w : {&routed, &direct}) {
                w->context(format, channels);
                w->x->resultSampleRate = 44100;
                w->x->resultChannels = channels;
                AVFrame *frame = make_frame(format, channels, raw);
                if (w == &routed)
                    vorlo_handleFrame_resample(w->x, w->ctx, frame);
                else
                    vorlo_handleFrame(w->x, w->ctx, frame);
                av_frame_free(&frame);
                vorlo_flushResampler(w->x, w->ctx);
            }
            ASSERT_EQ(routed.x->index, (vorlo_count)raw.size());
            EXPECT_EQ(memcmp(routed.target.data(), direct.target.data(), raw.size() * sizeof(float)), 0);
            EXPECT_TRUE(take_console().empty());
        }
}

struct PathCase {
    const char *name;
    bool import, route;
    int resample, requestedChannels;
    int inRate, inChannels, resultRate, resultChannels;
    int expected;
};

const PathCase kPaths[] = {
    {"replace as the file is", false, false, 0, 0, 44100, 2, 44100, 2, 0},
    {"resample to the file's rate", false, false, 7, 0, 44100, 2, 44100, 2, 0},
    {"resample to another rate", false, false, 7, 0, 48000, 2, 44100, 2, 1},
    {"any route", false, true, 0, 0, 44100, 2, 44100, 2, 1},
    {"s_mono of stereo", false, false, 0, 1, 44100, 2, 44100, 1, 1},
    {"import at another rate", true, false, 0, 1, 48000, 1, 44100, 4, 1},
    {"import of mono into a mono mix", true, false, 0, 1, 44100, 1, 44100, 4, 0},
    {"import of stereo into a mono mix", true, false, 0, 1, 44100, 2, 44100, 2, 1},
    {"import of stereo into a stereo mix", true, false, 0, 2, 44100, 2, 44100, 4, 0},
    {"rate differs without a reason", false, false, 0, 0, 48000, 2, 44100, 2, 0},
};

TEST(Resampler, PathChoice)
{
    for (const PathCase &c : kPaths) {
        SCOPED_TRACE(c.name);
        WriterRecord w;
        w.x->isImport = c.import;
        w.x->routeIsUsed = c.route;
        w.x->attrs.resample = (signed char)c.resample;
        w.x->requestedChannels = (signed char)c.requestedChannels;
        w.x->resultSampleRate = c.resultRate;
        w.x->resultChannels = c.resultChannels;
        EXPECT_EQ(vorlo_needsResampler(w.x, w.context(AV_SAMPLE_FMT_FLT, c.inChannels, c.inRate)), c.expected);
    }
}

// Runs frames of constant channel values (channel c holds values[c]) through the resampler
// at an unchanged rate and returns the rows written.
std::vector<float> mix_constant_channels(WriterRecord &w, const std::vector<double> &values, bool layout = true)
{
    int channels = (int)values.size();
    w.context(AV_SAMPLE_FMT_FLT, channels, 44100, layout);
    w.x->resultSampleRate = 44100;
    for (int f = 0; f < 4; f++) {
        AVFrame *frame = make_float_frame(channels, 256, [&](int, int c) { return values[c]; }, layout);
        vorlo_handleFrame_resample(w.x, w.ctx, frame);
        av_frame_free(&frame);
    }
    vorlo_flushResampler(w.x, w.ctx);
    return std::vector<float>(w.target.begin(), w.target.begin() + (long)std::min<vorlo_count>(w.x->index, w.target.size()));
}

TEST(Resampler, RouteAveragesItsInputsAndPrintsTheMatrix)
{
    WriterRecord w(2048, 9.0f);
    w.route({{0, 0}, {1, 0}});
    w.x->resultChannels = 1;
    w.x->attrs.debug = 1;
    std::vector<float> rows = mix_constant_channels(w, {0.2, 0.6});
    ASSERT_EQ(rows.size(), 1024u);
    for (size_t k = 0; k < rows.size(); k++)
        ASSERT_NEAR(rows[k], 0.4f, 1e-6) << "sample " << k;
    std::vector<std::string> expected = {"vorlo~: prepare SWR context", "vorlo~: swr mode: routeIsUsed",
                                         "vorlo~: route matrix:", "vorlo~: out 0: 0.500.50",
                                         "vorlo~: swr resultChannels: 1"};
    EXPECT_EQ(take_console(), expected);
}

struct SumCase {
    const char *name;
    int requestedChannels;
    std::vector<double> values;
    bool layout;
    std::vector<float> row;
    const char *note;  // posted whatever debug says, or null
};

const SumCase kSums[] = {
    {"s_mono of 10", 1, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, true, {5.5f}, "setting mono MATRIX"},
    {"s_stereo of 9", 2, {1, 2, 3, 4, 5, 6, 7, 8, 9}, false, {5.0f, 5.8f}, "setting stereo MATRIX"},
    {"s_stereo of 9 with its layout", 2, {1, 2, 3, 4, 5, 6, 7, 8, 9}, true, {5.0f, 5.8f}, "setting stereo MATRIX"},
    {"stereo of stereo", 2, {0.25, 0.75}, true, {0.25f, 0.75f}, nullptr},
    {"layout-less stereo kept", 2, {0.25, 0.75}, false, {0.25f, 0.75f}, nullptr},
};

TEST(Resampler, SumsToMonoAndStereo)
{
    for (const SumCase &c : kSums) {
        SCOPED_TRACE(c.name);
        size_t width = c.row.size();
        WriterRecord w(1024 * width, 9.0f);
        w.x->requestedChannels = (signed char)c.requestedChannels;
        w.x->resultChannels = (int)width;
        std::vector<float> rows = mix_constant_channels(w, c.values, c.layout);
        ASSERT_EQ(rows.size(), 1024 * width);
        for (size_t k = 0; k < rows.size(); k++)
            ASSERT_NEAR(rows[k], c.row[k % width], 1e-5) << "sample " << k;
        std::vector<std::string> console = take_console();
        EXPECT_EQ(console, c.note ? std::vector<std::string>{c.note} : std::vector<std::string>{});
        EXPECT_EQ(w.x->writeFailed, 0);
    }
}

// An import of stereo summed to mono lands in startTrack alone, also when the target has as
// many channels as the source.
TEST(Resampler, ImportedMonoMixLandsAtItsTrack)
{
    WriterRecord w(2048, 9.0f);
    t_vorlo *x = w.x;
    x->isImport = 1;
    x->requestedChannels = 1;
    x->startTrack = 1;
    x->resultChannels = 2;
    w.context(AV_SAMPLE_FMT_FLT, 2);
    x->resultSampleRate = 44100;
    ASSERT_EQ(vorlo_needsResampler(x, w.ctx), 1);
    AVFrame *frame = make_float_frame(2, 1024, [](int, int c) { return c ? 0.5 : 0.25; });
    vorlo_handleFrame_resample(x, w.ctx, frame);
    av_frame_free(&frame);
    vorlo_flushResampler(x, w.ctx);
    ASSERT_EQ(x->index, 2048);
    for (int s = 0; s < 1024; s++) {
        ASSERT_EQ(w.target[2 * s], 9.0f) << "row " << s;
        ASSERT_GT(w.target[2 * s + 1], 0.2f) << "row " << s;
        ASSERT_LT(w.target[2 * s + 1], 0.6f) << "row " << s;
    }
}

TEST(Resampler, FailedInitialisationCutsTheLoadShort)
{
    WriterRecord w(4096, 9.0f);
    w.x->resultChannels = 3;  // nine unnamed channels cannot be mixed to three without a matrix
    w.x->resultSampleRate = 44100;
    w.context(AV_SAMPLE_FMT_FLT, 9, 44100, false);
    for (int f = 0; f < 2; f++) {
        AVFrame *frame = make_float_frame(9, 64, [](int, int) { return 0.5; }, false);
        vorlo_handleFrame_resample(w.x, w.ctx, frame);
        av_frame_free(&frame);
    }
    vorlo_flushResampler(w.x, w.ctx);
    EXPECT_EQ(take_console(),
              std::vector<std::string>{"vorlo~: error: Failed to initialize the resampling context: Invalid argument"});
    EXPECT_EQ(w.x->writeFailed, 1);
    EXPECT_EQ(w.x->index, 0);
    EXPECT_EQ(w.target, std::vector<float>(4096, 9.0f));
}

std::vector<float> sine(int rate, int samples, double hz)
{
    std::vector<float> s(samples);
    for (int k = 0; k < samples; k++)
        s[k] = (float)(0.5 * sin(2 * M_PI * hz * k / rate));
    return s;
}

// The ffmpeg program's resampling of mono float samples, as raw floats.
std::vector<float> ffmpeg_resample(const std::vector<float> &in, int inRate, int outRate)
{
    std::filesystem::create_directories(VORLO_FIXTURE_DIR);
    std::string path = std::string(VORLO_FIXTURE_DIR) + "/writer_resample_" + std::to_string(getpid()) + ".raw";
    std::ofstream(path, std::ios::binary).write((const char *)in.data(), (std::streamsize)(in.size() * sizeof(float)));
    std::string cmd = reference_ffmpeg() + " -nostdin -v error -f f32le -ar " + std::to_string(inRate) + " -ac 1 -i '" + path +
                      "' -ar " + std::to_string(outRate) + " -f f32le -";
    std::vector<float> out;
    FILE *pipe = popen(cmd.c_str(), "r");
    float chunk[4096];
    size_t n;
    while (pipe && (n = fread(chunk, sizeof(float), 4096, pipe)) > 0)
        out.insert(out.end(), chunk, chunk + n);
    if (pipe)
        pclose(pipe);
    std::filesystem::remove(path);
    return out;
}

// Feeds `in` as mono float frames of `block` samples through the resampler.
void resample_blocks(WriterRecord &w, const std::vector<float> &in, size_t block)
{
    for (size_t at = 0; at < in.size(); at += block) {
        size_t n = std::min(block, in.size() - at);
        AVFrame *frame = make_float_frame(1, (int)n, [&](int s, int) { return in[at + s]; }, true, w.ctx->sample_rate);
        vorlo_handleFrame_resample(w.x, w.ctx, frame);
        av_frame_free(&frame);
    }
}

TEST(Resampler, RateConversionMatchesTheFfmpegProgramAndFlushDeliversTheTail)
{
    std::vector<float> in = sine(48000, 48000, 440);
    std::vector<float> reference = ffmpeg_resample(in, 48000, 44100);
    ASSERT_EQ(reference.size(), 44100u) << "the ffmpeg program did not run";

    WriterRecord w(44100 + 512, 9.0f);
    w.x->resultSampleRate = 44100;
    w.x->resultChannels = 1;
    w.x->attrs.resample = 7;
    w.context(AV_SAMPLE_FMT_FLT, 1, 48000);
    resample_blocks(w, in, 1000);
    vorlo_count beforeFlush = w.x->index;
    EXPECT_LT(beforeFlush, 44100);
    vorlo_flushResampler(w.x, w.ctx);
    EXPECT_EQ(w.x->index, 44100);
    std::vector<float> written(w.target.begin(), w.target.begin() + 44100);
    EXPECT_EQ(first_difference(written, reference, 0, 1e-6f), "");
    EXPECT_EQ(w.target[44100], 9.0f);
    EXPECT_EQ(take_console(), std::vector<std::string>{});

    vorlo_flushResampler(w.x, w.ctx);
    EXPECT_EQ(w.x->index, 44100);
}

TEST(Resampler, ResetDropsHeldBackSamplesAndKeepsTheMatrix)
{
    std::vector<float> first = sine(48000, 4800, 1000);
    std::vector<float> second = sine(48000, 4800, 300);
    auto configure = [](WriterRecord &w) {
        w.route({{0, 1}});
        w.x->resultSampleRate = 44100;
        w.x->resultChannels = 2;
        w.context(AV_SAMPLE_FMT_FLT, 1, 48000);
    };
    WriterRecord fresh(8820, 9.0f);
    configure(fresh);
    resample_blocks(fresh, second, 1024);
    vorlo_flushResampler(fresh.x, fresh.ctx);

    WriterRecord reused(8820, 9.0f);
    configure(reused);
    resample_blocks(reused, first, 1024);
    vorlo_resetResampler(reused.x);
    std::fill(reused.target.begin(), reused.target.end(), 9.0f);
    reused.x->index = 0;
    resample_blocks(reused, second, 1024);
    vorlo_flushResampler(reused.x, reused.ctx);

    EXPECT_EQ(reused.x->index, fresh.x->index);
    EXPECT_EQ(first_difference(reused.target, fresh.target, 0, 0.0f), "");
    EXPECT_EQ(fresh.target[0], 0.0f);  // output 0 has no input
    EXPECT_EQ(take_console(), std::vector<std::string>{});
}

// A PCM decoder of mono floats at `rate`, holding `samples` ready to be received.
AVCodecContext *open_pcm_decoder(int rate, int channels, const std::vector<float> &samples)
{
    const AVCodec *codec = avcodec_find_decoder(AV_CODEC_ID_PCM_F32LE);
    AVCodecContext *ctx = avcodec_alloc_context3(codec);
    ctx->sample_rate = rate;
    vorlo_ff_set_ctx_layout(ctx, vorlo_ff_default_layout(channels), channels);
    EXPECT_EQ(avcodec_open2(ctx, codec, nullptr), 0);
    AVPacket *packet = av_packet_alloc();
    EXPECT_EQ(av_new_packet(packet, (int)(samples.size() * sizeof(float))), 0);
    memcpy(packet->data, samples.data(), samples.size() * sizeof(float));
    EXPECT_EQ(avcodec_send_packet(ctx, packet), 0);
    av_packet_free(&packet);
    return ctx;
}

struct ReceiveCase {
    const char *name;
    int rate;
    AVSampleFormat claimed;  // the context's format as the writer sees it
    vorlo_count written;
    std::vector<std::string> console;
};

const ReceiveCase kReceives[] = {
    {"straight to the writer", 44100, AV_SAMPLE_FMT_FLT, 441, {}},
    {"through the resampler", 48000, AV_SAMPLE_FMT_FLT, 441, {}},
    {"a frame the context does not describe", 44100, AV_SAMPLE_FMT_DBL, 0,
     {"vorlo~: error: skipped a frame whose sample format or channel count changed mid-stream"}},
};

TEST(Resampler, ReceiveHandsEveryDecodedFrameOn)
{
    for (const ReceiveCase &c : kReceives) {
        SCOPED_TRACE(c.name);
        WriterRecord w(1024, 9.0f);
        std::vector<float> in = sine(c.rate, c.rate / 100, 440);
        w.ctx = open_pcm_decoder(c.rate, 1, in);
        w.ctx->sample_fmt = c.claimed;
        w.x->codecCtx = w.ctx;
        t_vorlo_load load;
        memset(&load, 0, sizeof load);
        load.line.placed = 1;
        w.x->attrs.resample = 7;
        w.x->resultSampleRate = 44100;
        w.x->resultChannels = 1;
        AVFrame *frame = av_frame_alloc();
        EXPECT_EQ(vorlo_receiveAndHandle(w.x, &load, w.ctx, frame), AVERROR(EAGAIN));
        av_frame_free(&frame);
        EXPECT_LE(w.x->index, c.written);
        vorlo_flushResampler(w.x, w.ctx);
        EXPECT_EQ(w.x->index, c.written);
        if (c.rate == 44100 && c.written) {
            EXPECT_EQ(std::vector<float>(w.target.begin(), w.target.begin() + c.written), in);
        }
        EXPECT_EQ(take_console(), c.console);
    }
}

TEST(ErrorText, ThreadsKeepTheirOwnText)
{
    auto worker = [](int code, bool *ok) {
        char expected[256];
        av_strerror(code, expected, sizeof expected);
        *ok = true;
        for (int k = 0; k < 5000; k++) {
            const char *text = vorlo_errtext(code);
            std::this_thread::yield();
            if (strcmp(text, expected) != 0)
                *ok = false;
        }
    };
    bool okA = false, okB = false;
    std::thread a(worker, AVERROR(EINVAL), &okA);
    std::thread b(worker, AVERROR_EOF, &okB);
    a.join();
    b.join();
    EXPECT_TRUE(okA);
    EXPECT_TRUE(okB);
    EXPECT_STREQ(vorlo_errtext(AVERROR(ENOMEM)), "Cannot allocate memory");
}

// The frames the ffmpeg program's resampler makes of `frames` frames of silence.
long ffmpeg_resampled(int inRate, int outRate, long frames)
{
    std::string cmd = "head -c " + std::to_string(frames * 4) + " /dev/zero | " + reference_ffmpeg() +
                      " -nostdin -v error -f f32le -ar " + std::to_string(inRate) + " -ac 1 -i - -ar " +
                      std::to_string(outRate) + " -f f32le - | wc -c";
    FILE *p = popen(cmd.c_str(), "r");
    long bytes = -1;
    if (p) {
        if (fscanf(p, "%ld", &bytes) != 1)
            bytes = -1;
        pclose(p);
    }
    return bytes < 0 ? -1 : bytes / 4;
}

// A resampled stream's length is known before decoding: whatever the ratio, it is what the
// resampler makes of the whole stream, its rounding at both ends included.
TEST(Resampler, KnowsTheLengthOfAWholeResampledStream)
{
    const struct {
        int inRate, outRate;
        long frames;
    } cases[] = {
        {44100, 48000, 12345},   {44100, 8000, 12345},    {44100, 96000, 12345}, {44100, 11025, 12345},
        {48000, 44100, 1000003}, {48000, 8000, 123457},   {96000, 44100, 250001}, {8000, 44100, 99991},
        {22050, 44100, 4097},    {44100, 384000, 300007}, {11025, 8000, 77777},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.inRate) + " to " + std::to_string(c.outRate) + ", " + std::to_string(c.frames));
        EXPECT_EQ(vorlo_resampledFrames(c.frames, c.inRate, c.outRate), ffmpeg_resampled(c.inRate, c.outRate, c.frames));
    }
}

} // namespace
