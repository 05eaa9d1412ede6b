// A long stream decoded in pieces at once. The first run's part of the result is cut into
// as many pieces as the machine has cores, or as the decoders attribute allows: the loader
// thread decodes the first piece itself, a worker thread of its own each of the others, from
// the packet that lies the decoder's settling time before the piece's first sample. A piece
// writes only its own positions, through a writer of its own over the one target, and keeps
// the frames that reach past its end.
//
// Once every piece has ended, each seam is settled as the second run of a replace settles
// its own: the piece before writes the frames it kept and decodes on into the next piece,
// comparing what it writes with what that piece wrote, until the two have agreed exactly for
// a while past the next piece's first sample of its own. From there on the next piece's
// samples are what the piece before would have written. A decoder that had not settled
// costs that decoding, never a sample: where the two never agree, the piece before decodes
// on to the end.
//
// A stream whose frames a seek cannot place exactly or whose decoder never meets the plain
// decoding after a seek, a resampled load and an import that mixes (it cannot write a seam
// twice) stay in one piece.
#include "loader.h"

#include <math.h>
#include <string.h>

#include <exception>
#include <new>
#include <thread>
#include <vector>

// The shortest piece that pays for its thread, its input and the reading up to its start.
static const double VORLO_PIECE_SECONDS = 10.0;
static const long VORLO_MOST_PIECES = 64;
// How long the two decodings at a seam must agree, sample for sample.
static const double VORLO_SEAM_SECONDS = 0.05;

static const int VORLO_PIECE_UNPLACED = VORLO_RUN_DAMAGED + 1; // it found no place to begin: it wrote nothing

typedef struct _vorlo_heldFrame {
    AVFrame *frame;
    vorlo_count index;
} t_vorlo_heldFrame;

struct _vorlo_piece {
    t_vorlo_load *load;     // the load itself for the first piece, a load of the piece's own for the others
    vorlo_count from;       // its positions, [from, to)
    vorlo_count to;
    int last;
    int holding;            // it keeps the frames that reach past `to`
    std::vector<t_vorlo_heldFrame> held;
    t_systhread thread;
    int result;             // VORLO_RUN_* or VORLO_PIECE_UNPLACED
};

// The MPEG audio decoders of integer samples carry the rounding of each sample into the
// next: after a seek they come within a step of the plain decoding, never onto it, and every
// seam would be decoded again to the end.
static bool vorlo_settlesExactly(const t_vorlo_load *x)
{
    enum AVCodecID id = x->codecCtx->codec_id;
    bool mpeg = id == AV_CODEC_ID_MP1 || id == AV_CODEC_ID_MP2 || id == AV_CODEC_ID_MP3;
    return !mpeg || av_get_packed_sample_fmt(x->source.format) == AV_SAMPLE_FMT_FLT;
}

int vorlo_pieceCount(const t_vorlo_load *x, vorlo_count from)
{
    if (x->onePiece || !vorlo_seeksExactly(x) || !vorlo_settlesExactly(x) || x->resultSampleRate != x->source.rate ||
        x->writer.shaping.mix)
        return 1;
    long cores = (long)std::thread::hardware_concurrency();
    long most = x->request.attrs.decoders > 0 ? x->request.attrs.decoders : cores > 0 ? cores : 1;
    double seconds = (double)(x->indexLimit - from) / x->resultChannels / x->resultSampleRate;
    double fit = floor(seconds / VORLO_PIECE_SECONDS);
    if (fit < (double)most)
        most = fit >= 1 ? (long)fit : 1;
    return (int)(most < VORLO_MOST_PIECES ? most : VORLO_MOST_PIECES);
}

bool vorlo_failsFirst(t_vorlo_load *x)
{
    if (!x->piece)
        return true;
    t_vorlo_load *whole = x->whole ? x->whole : x;
    return whole->halted.exchange(1) == 0;
}

bool vorlo_holdAtPieceEnd(t_vorlo_load *x, AVFrame *frame)
{
    t_vorlo_piece *piece = x->piece;
    vorlo_count end = x->index + (vorlo_count)frame->nb_samples * x->resultChannels;
    if (!piece->holding || end <= piece->to)
        return false;
    AVFrame *kept = av_frame_clone(frame);
    if (!kept)
        throw std::bad_alloc();
    piece->held.push_back({kept, x->index});
    x->index = end;
    return true;
}

// --- a piece's own load --------------------------------------------------------------------

// What the load decided once, for a piece: the source, the result, the route, the target's
// claim and the writer, with the gate, the references and the file that the load holds.
static void vorlo_copyDecisions(t_vorlo_load *p, const t_vorlo_load *x)
{
    p->whole = (t_vorlo_load *)x;
    p->gate = x->gate;
    p->owner = x->owner;
    p->targetRef = x->targetRef;
    p->request = x->request;
    memcpy(p->path, x->path, sizeof p->path);
    p->source = x->source;
    p->streamFrames = x->streamFrames;
    p->fileLength = x->fileLength;
    p->start = x->start;
    p->length = x->length;
    p->targetChannels = x->targetChannels;
    memcpy(p->routeList, x->routeList, sizeof p->routeList);
    memcpy(p->import_output_channel_list, x->import_output_channel_list, sizeof p->import_output_channel_list);
    p->requestedChannels = x->requestedChannels;
    p->routePassesThrough = x->routePassesThrough;
    p->streamIndex = x->streamIndex;
    p->file = x->file;
    p->resultSampleRate = x->resultSampleRate;
    p->resultChannels = x->resultChannels;
    p->indexLimit = x->indexLimit;
    p->writeOffset = x->writeOffset;
    p->claimFrames = x->claimFrames;
    p->claimChannels = x->claimChannels;
    // The load's writer as it made it, before its first frame: it holds nothing of its own yet.
    p->writer = x->writer;
    p->listSent = 1; // the load tells the list
    p->seamStart = VORLO_NO_SEAM;
}

static void vorlo_copyTimeline(t_vorlo_timeline *line, const t_vorlo_timeline *whole)
{
    line->origin = whole->origin;
    line->timedExactly = whole->timedExactly;
    line->counted = whole->counted;
    line->sourceSeen = whole->sourceSeen;
    line->settle = whole->settle;
    line->first = whole->first;
    line->seeked = 1; // every piece but the first begins after a seek
    line->keptSamples = -1;
    line->runStart = VORLO_UNPLACED;
}

static void vorlo_freePieceLoad(t_vorlo_load *p)
{
    vorlo_releaseLoad(p);
    av_frame_free(&p->frame);
    av_frame_free(&p->resampledFrame);
    delete p;
}

static t_vorlo_load *vorlo_newPieceLoad(const t_vorlo_load *x)
{
    t_vorlo_load *p = new (std::nothrow) t_vorlo_load();
    if (!p)
        return nullptr;
    vorlo_copyDecisions(p, x);
    vorlo_copyTimeline(&p->line, &x->line);
    vorlo_ff_init_packet(&p->packet);
    p->frame = av_frame_alloc();
    p->resampledFrame = av_frame_alloc();
    p->line.held = av_frame_alloc();
    p->line.params = avcodec_parameters_alloc();
    if (!p->frame || !p->resampledFrame || !p->line.held || !p->line.params ||
        avcodec_parameters_copy(p->line.params, x->line.params) < 0) {
        vorlo_freePieceLoad(p);
        return nullptr;
    }
    return p;
}

static void vorlo_freePiece(t_vorlo_piece *piece)
{
    for (t_vorlo_heldFrame &held : piece->held)
        av_frame_free(&held.frame);
    if (piece->load->whole)
        vorlo_freePieceLoad(piece->load);
    delete piece;
}

// --- decoding the pieces ----------------------------------------------------------------------

// The stream's time of a position of the result, in seconds.
static double vorlo_resultSeconds(const t_vorlo_load *p, vorlo_count index)
{
    return ((double)(index / p->resultChannels) + p->line.skipFrames) / p->resultSampleRate;
}

// Where a piece's decoding begins: the decoder's settling time before its first sample.
static double vorlo_pieceSeekTime(const t_vorlo_load *p, vorlo_count from)
{
    double at = vorlo_resultSeconds(p, from) - p->line.settle;
    return at > 0 ? at : 0;
}

static int vorlo_decodePiece(t_vorlo_piece *piece)
{
    t_vorlo_load *p = piece->load;
    vorlo_beginRun(p, true);
    if (p->whole) {
        p->seektime = vorlo_pieceSeekTime(p, piece->from);
        if (!vorlo_positionPiece(p, p->whole))
            return p->failed ? VORLO_RUN_FAILED : vorlo_going(p) ? VORLO_PIECE_UNPLACED : VORLO_RUN_ABORTED;
    }
    vorlo_setWindow(p, p->whole ? piece->from : 0, piece->to);
    t_vorlo_runEnd end = {piece->last ? p->indexLimit : piece->to - 1, 0};
    int result = vorlo_run(p, &end);
    if (result == VORLO_RUN_EOF || (piece->last && result == VORLO_RUN_STOPPED))
        vorlo_endRun(p, result, true);
    return result;
}

// Nothing escapes a piece: what interrupted it is its failure, and stops every piece.
static void vorlo_runPiece(t_vorlo_piece *piece)
{
    t_vorlo_load *p = piece->load;
    const char *what = nullptr;
    try {
        piece->result = vorlo_decodePiece(piece);
    } catch (const std::bad_alloc &) {
        what = "out of memory";
    } catch (const std::exception &e) {
        what = e.what();
    } catch (...) {
        what = "an unknown failure";
    }
    vorlo_unlockTarget(p);
    if (what) {
        vorlo_error(p, "the load failed: %s", what);
        p->failed = 1;
        piece->result = VORLO_RUN_FAILED;
    }
    if (piece->result == VORLO_RUN_FAILED || piece->result == VORLO_RUN_DAMAGED) {
        t_vorlo_load *whole = p->whole ? p->whole : p;
        whole->halted = 1;
    }
}

static void *vorlo_pieceThread(t_vorlo_piece *piece)
{
    vorlo_runPiece(piece);
    return nullptr;
}

// A piece whose thread or load cannot be had is left to the seam before it.
static void vorlo_startPiece(t_vorlo_piece *piece)
{
    piece->result = VORLO_PIECE_UNPLACED;
    if (systhread_create((method)vorlo_pieceThread, piece, 0, VORLO_LOWERED_PRIORITY, 0, &piece->thread) != 0)
        piece->thread = nullptr;
}

static t_vorlo_piece *vorlo_newPiece(t_vorlo_load *x, vorlo_count from, vorlo_count to, bool first)
{
    t_vorlo_piece *piece = first ? new t_vorlo_piece() : new (std::nothrow) t_vorlo_piece();
    if (!piece)
        return nullptr;
    piece->load = first ? x : vorlo_newPieceLoad(x);
    piece->from = from;
    piece->to = to;
    piece->holding = 1;
    piece->result = VORLO_PIECE_UNPLACED;
    if (!piece->load) {
        delete piece;
        return nullptr;
    }
    piece->load->piece = piece;
    return piece;
}

// Positions [from, indexLimit) in `count` pieces of whole frames; a piece that cannot be
// made is left out, the one before it then reaching on. The first is the load's own.
static void vorlo_cutPieces(t_vorlo_load *x, vorlo_count from, int count, std::vector<t_vorlo_piece *> *pieces)
{
    vorlo_count channels = x->resultChannels;
    vorlo_count frames = (x->indexLimit - from) / channels;
    pieces->reserve((size_t)count);
    for (int k = 0; k < count; k++) {
        vorlo_count start = from + frames * k / count * channels;
        vorlo_count end = k + 1 == count ? x->indexLimit : from + frames * (k + 1) / count * channels;
        t_vorlo_piece *piece = vorlo_newPiece(x, start, end, k == 0);
        if (piece)
            pieces->push_back(piece);
        else
            pieces->back()->to = end;
    }
    pieces->back()->last = 1;
    pieces->back()->holding = 0;
}

// --- the seams ----------------------------------------------------------------------------------

// Where a piece's own samples begin: the first position it wrote, or, where it wrote none,
// its end.
static vorlo_count vorlo_ownStart(const t_vorlo_piece *piece)
{
    vorlo_count placed = piece->load->line.runStart;
    if (piece->result == VORLO_PIECE_UNPLACED || placed == VORLO_UNPLACED)
        return piece->to;
    return placed > piece->from ? placed : piece->from;
}

// The first sample of its own of the piece whose positions hold `index`.
static vorlo_count vorlo_ownStartAt(const std::vector<t_vorlo_piece *> &pieces, vorlo_count index)
{
    for (const t_vorlo_piece *piece : pieces)
        if (index < piece->to)
            return vorlo_ownStart(piece);
    return pieces.back()->to;
}

static void vorlo_writeHeld(t_vorlo_piece *piece)
{
    t_vorlo_load *p = piece->load;
    for (t_vorlo_heldFrame &held : piece->held) {
        if (vorlo_claimTarget(p)) {
            p->index = held.index;
            if (!vorlo_writeDecodedFrame(p, held.frame))
                p->writeFailed = 1;
            vorlo_unlockTarget(p);
        }
        av_frame_free(&held.frame);
    }
    piece->held.clear();
}

// The piece before a seam writes on from it, over the pieces after it, until its samples
// have agreed with theirs for VORLO_SEAM_SECONDS past the first sample of its own of the
// piece it stands in.
static int vorlo_settleSeam(const std::vector<t_vorlo_piece *> &pieces, t_vorlo_piece *before)
{
    t_vorlo_load *p = before->load;
    before->holding = 0;
    vorlo_setWindow(p, p->whole ? before->from : 0, p->indexLimit);
    vorlo_watchSeam(p, before->to, 0.0f);
    vorlo_writeHeld(before);
    t_vorlo_runEnd end = {0, (vorlo_count)ceil(VORLO_SEAM_SECONDS * p->resultSampleRate) * p->resultChannels};
    int result;
    do {
        end.stop = vorlo_ownStartAt(pieces, p->index);
        result = vorlo_run(p, &end);
    } while (result == VORLO_RUN_STOPPED && p->index <= vorlo_ownStartAt(pieces, p->index - 1));
    if (result == VORLO_RUN_EOF)
        vorlo_endRun(p, result, true);
    if (p->request.attrs.debug)
        vorlo_post(p, "seam at %.3f sec: decoded on to %.3f sec, agreeing from %.3f sec", vorlo_resultSeconds(p, before->to),
                   vorlo_resultSeconds(p, p->index), vorlo_resultSeconds(p, p->seamAgreedFrom));
    vorlo_watchSeam(p, VORLO_NO_SEAM, 0.0f);
    return result;
}

// Each seam in turn, but those that a piece before has written past already. The load
// takes the index where the writing ended, from the piece whose writing met the stream's
// end or reached the furthest, with its counts of the packets that the end met.
static int vorlo_settleSeams(t_vorlo_load *x, const std::vector<t_vorlo_piece *> &pieces)
{
    t_vorlo_piece *ending = pieces.back();
    vorlo_count settled = 0;
    for (size_t k = 1; k < pieces.size() && vorlo_going(x); k++) {
        t_vorlo_piece *before = pieces[k - 1];
        if (settled > pieces[k]->from)
            continue;
        if (before->result == VORLO_RUN_EOF) {
            // The stream ended inside this piece; what the decoder gave last may reach past it.
            vorlo_setWindow(before->load, before->from, x->indexLimit);
            vorlo_writeHeld(before);
            ending = before;
            break;
        }
        before->result = vorlo_settleSeam(pieces, before);
        settled = before->load->index;
        if (before->result == VORLO_RUN_DAMAGED)
            return VORLO_RUN_DAMAGED;
        if (before->result == VORLO_RUN_FAILED || before->load->failed || before->load->writeFailed)
            return VORLO_RUN_FAILED;
        if (before->result == VORLO_RUN_EOF) {
            ending = before;
            break;
        }
    }
    x->index = ending->load->index;
    x->badPackets = ending->load->badPackets;
    x->endsInsidePacket = ending->load->endsInsidePacket;
    if (!vorlo_going(x))
        return VORLO_RUN_ABORTED;
    return ending->result == VORLO_RUN_EOF ? VORLO_RUN_EOF : VORLO_RUN_STOPPED;
}

// What the pieces' own ends make of the load: a failure or damage in any, or the seams.
static int vorlo_gatherPieces(t_vorlo_load *x, const std::vector<t_vorlo_piece *> &pieces)
{
    int damaged = 0, failed = 0;
    for (const t_vorlo_piece *piece : pieces) {
        const t_vorlo_load *p = piece->load;
        damaged |= piece->result == VORLO_RUN_DAMAGED;
        failed |= piece->result == VORLO_RUN_FAILED || p->failed || p->writeFailed;
        x->failed |= p->failed;
        x->writeFailed |= p->writeFailed;
        x->line.formatChanges |= p->line.formatChanges;
    }
    if (!vorlo_going(x))
        return VORLO_RUN_ABORTED;
    if (failed)
        return VORLO_RUN_FAILED;
    if (damaged) {
        x->onePiece = 1;
        return VORLO_RUN_DAMAGED;
    }
    return vorlo_settleSeams(x, pieces);
}

// Once their threads have ended.
static void vorlo_dropPieces(t_vorlo_load *x, std::vector<t_vorlo_piece *> *pieces)
{
    for (t_vorlo_piece *piece : *pieces) {
        vorlo_unlockTarget(piece->load);
        vorlo_freePiece(piece);
    }
    pieces->clear();
    x->piece = nullptr;
}

static int vorlo_decodeStartedPieces(t_vorlo_load *x, const std::vector<t_vorlo_piece *> &pieces)
{
    for (size_t k = 1; k < pieces.size(); k++)
        vorlo_startPiece(pieces[k]);
    vorlo_runPiece(pieces[0]);
    for (size_t k = 1; k < pieces.size(); k++)
        if (pieces[k]->thread)
            systhread_join(pieces[k]->thread, nullptr);
    // Every piece has ended: the load goes on alone.
    x->halted = 0;
    return vorlo_gatherPieces(x, pieces);
}

int vorlo_decodePieces(t_vorlo_load *x, vorlo_count from, int count)
{
    if (x->request.attrs.debug)
        vorlo_post(x, "decoding in %i pieces at once", count);
    std::vector<t_vorlo_piece *> pieces;
    int result;
    try {
        vorlo_cutPieces(x, from, count, &pieces);
        result = vorlo_decodeStartedPieces(x, pieces);
    } catch (...) {
        vorlo_dropPieces(x, &pieces);
        throw;
    }
    vorlo_dropPieces(x, &pieces);
    vorlo_setWindow(x, 0, x->indexLimit);
    if (!x->listSent) {
        vorlo_raise(x, VORLO_NOTE_STARTREAD);
        x->listSent = 1;
    }
    return result;
}
