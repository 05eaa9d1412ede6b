// The differences between FFmpeg releases 4.3 to 7.x that the object meets, in one place:
// from libavutil 57.24 on, channel layouts are AVChannelLayout structures and the
// channel-count fields of contexts and frames are gone (removed in FFmpeg 7).
#ifndef VORLO_FFMPEG_COMPAT_H
#define VORLO_FFMPEG_COMPAT_H

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <stdint.h>
#include <stdio.h>
#include <string.h>

#if LIBAVUTIL_VERSION_MAJOR > 57 || (LIBAVUTIL_VERSION_MAJOR == 57 && LIBAVUTIL_VERSION_MINOR >= 24)
#define VORLO_FF_CHLAYOUT 1
#else
#define VORLO_FF_CHLAYOUT 0
#endif

#if VORLO_FF_CHLAYOUT

static inline int vorlo_ff_channels(const AVCodecContext *c) { return c->ch_layout.nb_channels; }
static inline int vorlo_ff_frame_channels(const AVFrame *f) { return f->ch_layout.nb_channels; }
static inline int vorlo_ff_par_channels(const AVCodecParameters *p) { return p->ch_layout.nb_channels; }

// The layout as a bit mask; 0 when the channels have no named order.
static inline uint64_t vorlo_ff_layout_mask(const AVChannelLayout *l)
{
    return l->order == AV_CHANNEL_ORDER_NATIVE ? l->u.mask : 0;
}
static inline uint64_t vorlo_ff_ctx_layout(const AVCodecContext *c) { return vorlo_ff_layout_mask(&c->ch_layout); }
static inline uint64_t vorlo_ff_frame_layout(const AVFrame *f) { return vorlo_ff_layout_mask(&f->ch_layout); }
static inline uint64_t vorlo_ff_par_layout(const AVCodecParameters *p) { return vorlo_ff_layout_mask(&p->ch_layout); }

static inline uint64_t vorlo_ff_default_layout(int channels)
{
    AVChannelLayout l;
    av_channel_layout_default(&l, channels);
    uint64_t mask = vorlo_ff_layout_mask(&l);
    av_channel_layout_uninit(&l);
    return mask;
}

// Describes a layout of `channels` channels: the mask when it has that many channels,
// else channels in no named order.
static inline void vorlo_ff_make_layout(AVChannelLayout *l, uint64_t mask, int channels)
{
    if (mask == 0 || av_channel_layout_from_mask(l, mask) < 0 || l->nb_channels != channels) {
        av_channel_layout_uninit(l);
        l->order = AV_CHANNEL_ORDER_UNSPEC;
        l->nb_channels = channels;
        l->u.mask = 0;
    }
}

static inline void vorlo_ff_set_frame_layout(AVFrame *f, uint64_t mask, int channels)
{
    av_channel_layout_uninit(&f->ch_layout);
    vorlo_ff_make_layout(&f->ch_layout, mask, channels);
}

static inline void vorlo_ff_set_ctx_layout(AVCodecContext *c, uint64_t mask, int channels)
{
    av_channel_layout_uninit(&c->ch_layout);
    vorlo_ff_make_layout(&c->ch_layout, mask, channels);
}

// Sets the resampler's input ("in") or output ("out") layout.
static inline int vorlo_ff_swr_set_layout(SwrContext *s, const char *side, uint64_t mask, int channels)
{
    AVChannelLayout l;
    vorlo_ff_make_layout(&l, mask, channels);
    char name[32];
    snprintf(name, sizeof name, "%s_chlayout", side);
    int ret = av_opt_set_chlayout(s, name, &l, 0);
    av_channel_layout_uninit(&l);
    return ret;
}

// Name of channel i of a layout mask, written into buf.
static inline void vorlo_ff_channel_name(uint64_t mask, int i, char *buf, size_t size)
{
    AVChannelLayout l;
    if (av_channel_layout_from_mask(&l, mask) < 0 ||
        av_channel_name(buf, size, av_channel_layout_channel_from_index(&l, (unsigned)i)) < 0)
        snprintf(buf, size, "?");
    av_channel_layout_uninit(&l);
}

#else

static inline int vorlo_ff_channels(const AVCodecContext *c) { return c->channels; }
static inline int vorlo_ff_frame_channels(const AVFrame *f) { return f->channels; }
static inline int vorlo_ff_par_channels(const AVCodecParameters *p) { return p->channels; }
static inline uint64_t vorlo_ff_ctx_layout(const AVCodecContext *c) { return c->channel_layout; }
static inline uint64_t vorlo_ff_frame_layout(const AVFrame *f) { return f->channel_layout; }
static inline uint64_t vorlo_ff_par_layout(const AVCodecParameters *p) { return p->channel_layout; }
static inline uint64_t vorlo_ff_default_layout(int channels) { return (uint64_t)av_get_default_channel_layout(channels); }

static inline void vorlo_ff_set_frame_layout(AVFrame *f, uint64_t mask, int channels)
{
    f->channel_layout = av_get_channel_layout_nb_channels(mask) == channels ? mask : 0;
    f->channels = channels;
}

static inline void vorlo_ff_set_ctx_layout(AVCodecContext *c, uint64_t mask, int channels)
{
    c->channel_layout = av_get_channel_layout_nb_channels(mask) == channels ? mask : 0;
    c->channels = channels;
}

static inline int vorlo_ff_swr_set_layout(SwrContext *s, const char *side, uint64_t mask, int channels)
{
    char name[32];
    snprintf(name, sizeof name, "%s_channel_layout", side);
    int ret = av_opt_set_int(s, name, av_get_channel_layout_nb_channels(mask) == channels ? (int64_t)mask : 0, 0);
    snprintf(name, sizeof name, "%s", side[0] == 'i' ? "ich" : "och");
    return ret < 0 ? ret : av_opt_set_int(s, name, channels, 0);
}

static inline void vorlo_ff_channel_name(uint64_t mask, int i, char *buf, size_t size)
{
    const char *name = av_get_channel_name(av_channel_layout_extract_channel(mask, i));
    snprintf(buf, size, "%s", name ? name : "?");
}

#endif

// av_find_best_stream hands back a const decoder, and input formats are const, from
// libavformat 59 (FFmpeg 5) on.
#if LIBAVFORMAT_VERSION_MAJOR >= 59
typedef const AVCodec *vorlo_ff_decoder;
typedef const AVInputFormat *vorlo_ff_input_format;
#else
typedef AVCodec *vorlo_ff_decoder;
typedef AVInputFormat *vorlo_ff_input_format;
#endif

// A packet's side data of one type, and its size (an int before libavcodec 59).
static inline const uint8_t *vorlo_ff_side_data(const AVPacket *p, enum AVPacketSideDataType type, size_t *size)
{
#if LIBAVCODEC_VERSION_MAJOR >= 59
    return av_packet_get_side_data(p, type, size);
#else
    int bytes = 0;
    const uint8_t *data = av_packet_get_side_data(p, type, &bytes);
    *size = bytes > 0 ? (size_t)bytes : 0;
    return data;
#endif
}

// A packet held inside the record is prepared once; av_init_packet is deprecated from
// FFmpeg 6 on, where a zeroed packet with no position is the same thing.
static inline void vorlo_ff_init_packet(AVPacket *p)
{
    memset(p, 0, sizeof *p);
    p->pts = AV_NOPTS_VALUE;
    p->dts = AV_NOPTS_VALUE;
    p->pos = -1;
}

#endif
