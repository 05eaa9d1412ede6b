// Sample writing (placeholder until written).
#include "object_record.h"

void vorlo_validateRouting(t_vorlo *x) { (void)x; }
void vorlo_prepareImport(t_vorlo *x) { (void)x; }
void vorlo_handleFrame(t_vorlo *x, const AVCodecContext *codecCtx, const AVFrame *frame) { (void)x; (void)codecCtx; (void)frame; }
int vorlo_receiveAndHandle(t_vorlo *x, AVCodecContext *codecCtx, AVFrame *frame) { (void)x; (void)codecCtx; (void)frame; return 0; }
void vorlo_handleFrame_resample(t_vorlo *x, const AVCodecContext *codecCtx, AVFrame *frame) { (void)x; (void)codecCtx; (void)frame; }
const char *vorlo_errtext(int code) { (void)code; return ""; }
void vorlo_flushResampler(t_vorlo *x, const AVCodecContext *codecCtx) { (void)x; (void)codecCtx; }
void vorlo_resetResampler(t_vorlo *x) { (void)x; }
