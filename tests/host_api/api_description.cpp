// Prints, one line each, how the host headers on the include path declare the names of
// api_names.h: functions and types as their C++ types, structure members with their
// offsets, constants with their values. The headless host's headers and the SDK's must
// print the same lines.
#include "ext.h"
#include "ext_obex.h"
#include "ext_buffer.h"
#include "ext_dictobj.h"
#include "z_dsp.h"

#include "api_names.h"

#include <cxxabi.h>
#include <stdio.h>
#include <stdlib.h>
#include <typeinfo>

template <typename T> static void describe(const char *kind, const char *name)
{
    int status = 0;
    char *readable = abi::__cxa_demangle(typeid(T).name(), nullptr, nullptr, &status);
    printf("%s %s: %s\n", kind, name, status == 0 ? readable : typeid(T).name());
    free(readable);
}

template <typename T> static void describe_member(const char *name, size_t offset, size_t size)
{
    int status = 0;
    char *readable = abi::__cxa_demangle(typeid(T).name(), nullptr, nullptr, &status);
    printf("member %s: %s at %zu, %zu bytes\n", name, status == 0 ? readable : typeid(T).name(), offset, size);
    free(readable);
}

#define VORLO_FUNCTION(f) describe<decltype(&f)>("function", #f);
#define VORLO_TYPE(t) describe<t>("type", #t);
#define VORLO_MEMBER(s, m)                                                                              \
    describe_member<decltype(((s *)nullptr)->m)>(#s "." #m, offsetof(s, m), sizeof(((s *)nullptr)->m));
#define VORLO_CONSTANT(c) printf("constant %s: %lld\n", #c, (long long)(c));
#define VORLO_EXPRESSION(e) describe<decltype(e)>("expression", #e);

int main()
{
    VORLO_API_FUNCTIONS(VORLO_FUNCTION)
    VORLO_API_TYPES(VORLO_TYPE)
    VORLO_API_MEMBERS(VORLO_MEMBER)
    VORLO_API_CONSTANTS(VORLO_CONSTANT)
    VORLO_API_EXPRESSIONS(VORLO_EXPRESSION)
    printf("size t_object: %zu\nsize t_atom: %zu\n", sizeof(t_object), sizeof(t_atom));
    return 0;
}
