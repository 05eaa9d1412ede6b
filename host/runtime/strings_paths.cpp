// String objects and path conversion.
#include "host_internal.h"
#include "host_platform.h"

#include <cstdlib>
#include <cstring>

extern "C" {

t_string *string_new(const char *psz)
{
    host_rule_objects_on_main_thread("string_new");
    const char *text = psz ? psz : "";
    t_string *x = (t_string *)calloc(1, sizeof(t_string));
    host_object_init(&x->s_obj, HOST_STRING);
    x->s_size = (long)strlen(text) + 1;
    x->s_text = (char *)malloc((size_t)x->s_size);
    memcpy(x->s_text, text, (size_t)x->s_size);
    host_alive_add(x, HOST_STRING, host_current_owner());
    return x;
}

void string_append(t_string *x, const char *s)
{
    host_expect_kind(x, HOST_STRING, "string_append");
    if (!s)
        return;
    size_t used = strlen(x->s_text);
    size_t extra = strlen(s);
    x->s_text = (char *)realloc(x->s_text, used + extra + 1);
    memcpy(x->s_text + used, s, extra + 1);
    x->s_size = (long)(used + extra + 1);
}

const char *string_getptr(t_string *x)
{
    host_expect_kind(x, HOST_STRING, "string_getptr");
    return x->s_text;
}

// The native form of a path: the path itself on Linux, with backslashes on Windows. dst
// holds MAX_PATH_CHARS; a longer path is cut there and reported as an error.
short path_nameconform(const char *src, char *dst, long style, long type)
{
    (void)style;
    (void)type;
    if (!dst)
        return 1;
    if (!src) {
        dst[0] = '\0';
        return 1;
    }
    std::string native = host_native_path(std::string(src, strnlen(src, MAX_PATH_CHARS)));
    if (native.size() == MAX_PATH_CHARS) {
        memcpy(dst, native.data(), MAX_PATH_CHARS - 1);
        dst[MAX_PATH_CHARS - 1] = '\0';
        return 1;
    }
    memcpy(dst, native.c_str(), native.size() + 1);
    return 0;
}

} // extern "C"

void host_string_free(t_object *x)
{
    t_string *s = (t_string *)x;
    host_alive_remove(s, HOST_STRING);
    free(s->s_text);
    host_object_kill(x);
    free(s);
}
