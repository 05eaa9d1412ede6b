#ifndef EXT_STRINGS_H
#define EXT_STRINGS_H

#include "ext_mess.h"

BEGIN_USING_C_LINKAGE

int snprintf_zero(char *buffer, size_t count, const char *format, ...);

END_USING_C_LINKAGE

#endif
