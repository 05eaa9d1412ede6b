// Core types of the host interface: integers, atoms, symbols, objects.
#ifndef EXT_MESS_H
#define EXT_MESS_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#define BEGIN_USING_C_LINKAGE extern "C" {
#define END_USING_C_LINKAGE }
#else
#define BEGIN_USING_C_LINKAGE
#define END_USING_C_LINKAGE
#endif

#if defined(_WIN32)
#define C74_EXPORT __declspec(dllexport)
#else
#define C74_EXPORT __attribute__((visibility("default")))
#endif

BEGIN_USING_C_LINKAGE

typedef intptr_t t_ptr_int;
typedef uintptr_t t_ptr_uint;
typedef t_ptr_int t_atom_long;
typedef double t_atom_float;
typedef t_atom_long t_max_err;
// A four-character code: a file type, among others.
typedef uint32_t t_fourcc;

enum { MAX_ERR_NONE = 0, MAX_ERR_GENERIC = -1 };

typedef void *(*method)(void *);

struct messlist;
typedef void t_inlet;
typedef void t_outlet;
typedef void t_qelem;

typedef struct object {
    struct messlist *o_messlist;
    t_ptr_int o_magic;
    t_inlet *o_inlet;
    t_outlet *o_outlet;
} t_object;

typedef struct symbol {
    char *s_name;
    struct object *s_thing;
} t_symbol;

union word {
    t_atom_long w_long;
    t_atom_float w_float;
    struct symbol *w_sym;
    struct object *w_obj;
};

typedef struct atom {
    short a_type;
    union word a_w;
} t_atom;

typedef enum {
    A_NOTHING = 0,
    A_LONG = 1,
    A_FLOAT = 2,
    A_SYM = 3,
    A_OBJ = 4,
    A_DEFLONG = 5,
    A_DEFFLOAT = 6,
    A_DEFSYM = 7,
    A_GIMME = 8,
    A_CANT = 9
} e_max_atomtypes;

typedef struct maxclass t_class;

END_USING_C_LINKAGE

#endif
