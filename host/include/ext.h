// The core host interface.
#ifndef EXT_H
#define EXT_H

#include "ext_mess.h"
#include "ext_assist.h"
#include "ext_path.h"
#include "ext_proto.h"
#include "ext_post.h"
#include "ext_obstring.h"
#include "ext_dictionary.h"
#include "ext_obex.h"
#include "commonsyms.h"
#include "ext_strings.h"
#include "ext_systhread.h"

BEGIN_USING_C_LINKAGE
void C74_EXPORT ext_main(void *r);
END_USING_C_LINKAGE

#endif
