// FFmpeg error codes turned into text for the loader's messages.
#include "writer.h"

// Each loader thread has its own buffer, so two instances that fail at the same moment
// never overwrite each other's text before it has been posted.
static thread_local char errbuff[256];

const char *vorlo_errtext(int code)
{
    av_strerror(code, errbuff, sizeof errbuff);
    return errbuff;
}
