// The floor that a load is measured against: FFmpeg's decoder alone, in a process of its
// own, with nothing of vorlo~ in it.
//   decode_floor decode FILE                 decode every frame, store nothing
//   decode_floor memory FILE [RATE [LOADS [thread]]]
//                                            decode into one float array of the whole output
//                                            (resampled to RATE when given and not 0), LOADS
//                                            times over, the array allocated once; with
//                                            "thread", each load on a thread of its own, as
//                                            vorlo~ loads
//   decode_floor segments FILE SEGMENTS [check]
//                                            decode into one float array in SEGMENTS pieces
//                                            of the stream at once, each on a thread of its
//                                            own from a seek to its first frame, placed by
//                                            time stamps; with "check", compared with the
//                                            stream decoded in one piece
// Integer samples are converted by the same exact quotients as the frame writer's.
#include "ffmpeg_compat.h"


#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <memory>
#include <thread>
#include <vector>

namespace {

struct Decoding {
    AVFormatContext *format = nullptr;
    AVCodecContext *codec = nullptr;
    SwrContext *swr = nullptr;
    int stream = -1;
};

void fail(const char *what)
{
    fprintf(stderr, "decode_floor: %s\n", what);
    exit(1);
}

void open_decoding(Decoding *d, const char *path)
{
    if (avformat_open_input(&d->format, path, nullptr, nullptr) < 0 || avformat_find_stream_info(d->format, nullptr) < 0)
        fail("cannot open the file");
    vorlo_ff_decoder decoder = nullptr;
    d->stream = av_find_best_stream(d->format, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (d->stream < 0)
        fail("no audio stream");
    d->codec = avcodec_alloc_context3(decoder);
    avcodec_parameters_to_context(d->codec, d->format->streams[d->stream]->codecpar);
    if (avcodec_open2(d->codec, decoder, nullptr) < 0)
        fail("cannot open the decoder");
}

void close_decoding(Decoding *d)
{
    swr_free(&d->swr);
    avcodec_free_context(&d->codec);
    avformat_close_input(&d->format);
}

template <typename T, typename Convert>
void store(const AVFrame *f, float *out, Convert convert)
{
    int channels = vorlo_ff_frame_channels(f), n = f->nb_samples;
    if (!av_sample_fmt_is_planar((AVSampleFormat)f->format) || channels == 1) {
        const T *in = (const T *)f->extended_data[0];
        for (int i = 0; i < n * channels; i++)
            out[i] = convert(in[i]);
        return;
    }
    for (int c = 0; c < channels; c++) {
        const T *in = (const T *)f->extended_data[c];
        for (int i = 0; i < n; i++)
            out[i * channels + c] = convert(in[i]);
    }
}

void store_frame(const AVFrame *f, float *out)
{
    switch (av_get_packed_sample_fmt((AVSampleFormat)f->format)) {
    case AV_SAMPLE_FMT_U8:
        store<uint8_t>(f, out, [](uint8_t b) { return (float)((double)((int)b - 127) * (1.0 / 127.0)); });
        break;
    case AV_SAMPLE_FMT_S16:
        store<int16_t>(f, out, [](int16_t v) { return (float)((double)v * (1.0 / 32767.0)); });
        break;
    case AV_SAMPLE_FMT_S32:
        store<int32_t>(f, out, [](int32_t v) { return (float)v * (1.0f / 2147483648.0f); });
        break;
    case AV_SAMPLE_FMT_FLT:
        store<float>(f, out, [](float v) { return v; });
        break;
    case AV_SAMPLE_FMT_DBL:
        store<double>(f, out, [](double v) { return (float)v; });
        break;
    default:
        fail("unexpected sample format");
    }
}

// The output's interleaved length, from the stream's duration, with a second to spare.
size_t output_samples(const Decoding *d, int rate)
{
    double seconds = d->format->duration > 0 ? d->format->duration / (double)AV_TIME_BASE : 60.0;
    return (size_t)((seconds + 1.0) * rate) * vorlo_ff_channels(d->codec);
}

void make_resampler(Decoding *d, int rate)
{
    d->swr = swr_alloc();
    uint64_t layout = vorlo_ff_default_layout(vorlo_ff_channels(d->codec));
    vorlo_ff_swr_set_layout(d->swr, "in", layout, vorlo_ff_channels(d->codec));
    vorlo_ff_swr_set_layout(d->swr, "out", layout, vorlo_ff_channels(d->codec));
    av_opt_set_int(d->swr, "in_sample_rate", d->codec->sample_rate, 0);
    av_opt_set_int(d->swr, "out_sample_rate", rate, 0);
    av_opt_set_sample_fmt(d->swr, "in_sample_fmt", d->codec->sample_fmt, 0);
    av_opt_set_sample_fmt(d->swr, "out_sample_fmt", AV_SAMPLE_FMT_FLT, 0);
    if (swr_init(d->swr) < 0)
        fail("cannot make the resampler");
}

// Stores a frame (nullptr: what the resampler holds) at *written; nothing when out is null.
void take_frame(Decoding *d, const AVFrame *f, std::vector<float> *out, size_t *written)
{
    if (!out)
        return;
    int channels = vorlo_ff_channels(d->codec);
    size_t room = (out->size() - *written) / channels;
    uint8_t *dst = (uint8_t *)(out->data() + *written);
    if (d->swr) {
        int made = swr_convert(d->swr, &dst, (int)room, f ? (const uint8_t **)f->extended_data : nullptr,
                               f ? f->nb_samples : 0);
        if (made < 0)
            fail("resampling failed");
        *written += (size_t)made * channels;
        return;
    }
    if ((size_t)f->nb_samples > room)
        fail("the output is longer than the stream's duration says");
    store_frame(f, out->data() + *written);
    *written += (size_t)f->nb_samples * channels;
}

// Hands every decoded frame of the stream to `take` until the stream ends or `take` returns
// false.
template <typename Take>
void for_each_frame(Decoding *d, Take take)
{
    AVPacket *packet = av_packet_alloc();
    AVFrame *frame = av_frame_alloc();
    bool more = true, going = true;
    while (more && going) {
        more = av_read_frame(d->format, packet) >= 0;
        if (more && packet->stream_index != d->stream) {
            av_packet_unref(packet);
            continue;
        }
        avcodec_send_packet(d->codec, more ? packet : nullptr);
        av_packet_unref(packet);
        while (avcodec_receive_frame(d->codec, frame) == 0) {
            going = going && take(frame);
            av_frame_unref(frame);
        }
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
}

size_t decode_file(const char *path, int rate, std::vector<float> *out)
{
    Decoding d;
    open_decoding(&d, path);
    if (out && out->empty())
        out->resize(output_samples(&d, rate ? rate : d.codec->sample_rate));
    if (out && rate && rate != d.codec->sample_rate)
        make_resampler(&d, rate);
    size_t written = 0;
    for_each_frame(&d, [&](const AVFrame *frame) {
        take_frame(&d, frame, out, &written);
        return true;
    });
    if (d.swr)
        take_frame(&d, nullptr, out, &written);
    close_decoding(&d);
    return written;
}

// The stream's length in frames, as its header gives it (exact for FLAC and WAV).
int64_t stream_frames(const Decoding *d)
{
    const AVStream *st = d->format->streams[d->stream];
    if (st->duration <= 0)
        fail("the stream's length is not known");
    return av_rescale_q(st->duration, st->time_base, AVRational{1, d->codec->sample_rate});
}

// Frames [from, to) of the stream into `out` (which holds frame `from` first), decoded from
// a seek to `from` and placed by the frames' time stamps.
void decode_segment(const char *path, int64_t from, int64_t to, float *out)
{
    Decoding d;
    open_decoding(&d, path);
    AVRational perFrame{1, d.codec->sample_rate};
    AVRational base = d.format->streams[d.stream]->time_base;
    int channels = vorlo_ff_channels(d.codec);
    if (from > 0 && av_seek_frame(d.format, d.stream, av_rescale_q(from, perFrame, base), AVSEEK_FLAG_BACKWARD) < 0)
        fail("cannot seek");
    std::vector<float> rows;
    for_each_frame(&d, [&](const AVFrame *frame) {
        int64_t first = av_rescale_q(frame->best_effort_timestamp, base, perFrame);
        int64_t begin = std::max(first, from), end = std::min(first + frame->nb_samples, to);
        if (begin < end) {
            rows.resize((size_t)frame->nb_samples * channels);
            store_frame(frame, rows.data());
            std::copy(rows.begin() + (begin - first) * channels, rows.begin() + (end - first) * channels,
                      out + (begin - from) * channels);
        }
        return first + frame->nb_samples < to;
    });
    close_decoding(&d);
}

// The whole stream in `segments` pieces decoded at once into a buffer left unwritten until
// then (as a new buffer~ is), its pages faulted in by the thread that writes them.
std::unique_ptr<float[]> decode_segments(const char *path, int segments, int64_t frames, int channels)
{
    std::unique_ptr<float[]> out(new float[(size_t)frames * channels]);
    std::vector<std::thread> threads;
    for (int k = 0; k < segments; k++) {
        int64_t from = frames * k / segments, to = frames * (k + 1) / segments;
        threads.emplace_back(decode_segment, path, from, to, out.get() + from * channels);
    }
    for (std::thread &t : threads)
        t.join();
    return out;
}

int segments_main(const char *path, int segments, bool check)
{
    Decoding d;
    open_decoding(&d, path);
    int64_t frames = stream_frames(&d);
    int channels = vorlo_ff_channels(d.codec);
    close_decoding(&d);
    size_t samples = (size_t)frames * channels;
    std::unique_ptr<float[]> pieces = decode_segments(path, segments, frames, channels);
    if (check && memcmp(pieces.get(), decode_segments(path, 1, frames, channels).get(), samples * sizeof(float)))
        fail("the pieces differ from the stream decoded in one piece");
    printf("%zu samples in %d pieces%s\n", samples, segments, check ? ", identical to one piece" : "");
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if ((argc == 4 || argc == 5) && strcmp(argv[1], "segments") == 0)
        return segments_main(argv[2], atoi(argv[3]), argc == 5 && strcmp(argv[4], "check") == 0);
    if (argc < 3 || (strcmp(argv[1], "decode") != 0 && strcmp(argv[1], "memory") != 0))
        fail("usage: decode_floor decode|memory FILE [RATE [LOADS [thread]]] | segments FILE SEGMENTS [check]");
    bool memory = strcmp(argv[1], "memory") == 0;
    int rate = argc > 3 ? atoi(argv[3]) : 0;
    int loads = argc > 4 ? atoi(argv[4]) : 1;
    bool threads = argc > 5 && strcmp(argv[5], "thread") == 0;
    std::vector<float> samples;
    size_t written = 0;
    for (int k = 0; k < loads; k++) {
        auto load = [&] { written = decode_file(argv[2], rate, memory ? &samples : nullptr); };
        if (threads)
            std::thread(load).join();
        else
            load();
    }
    // What was stored is used, so that no compiler can leave the storing out.
    double sum = 0;
    for (size_t i = 0; i < written; i += 4096)
        sum += samples[i];
    printf("%zu samples (%g)\n", written, sum);
    return 0;
}
