// The attributes' setters. A patch may set an attribute from the scheduler thread (a metro
// in Overdrive) while the main thread starts a load that reads it: every setter hands the
// value to the main thread, which stores it there (at once when it is the caller).
#include "object_record.h"

#include <float.h>
#include <math.h>
#include <string.h>

enum { VORLO_FIELD_CHAR, VORLO_FIELD_LONG, VORLO_FIELD_FLOAT, VORLO_FIELD_SYMBOL };

typedef struct _vorlo_attrField {
    const char *name;
    long offset;
    int type;
} t_vorlo_attrField;

static const t_vorlo_attrField vorlo_attrFields[] = {
    {"resample", calcoffset(t_vorlo, resample), VORLO_FIELD_CHAR},
    {"metadatadict", calcoffset(t_vorlo, metadatadict), VORLO_FIELD_SYMBOL},
    {"debug", calcoffset(t_vorlo, debug), VORLO_FIELD_CHAR},
    {"stream_nb", calcoffset(t_vorlo, stream_nb), VORLO_FIELD_LONG},
    {"import_mix", calcoffset(t_vorlo, import_mix), VORLO_FIELD_CHAR},
    {"import_gain", calcoffset(t_vorlo, import_gain), VORLO_FIELD_FLOAT},
    {"fadein", calcoffset(t_vorlo, fadein), VORLO_FIELD_FLOAT},
    {"fadein_exp", calcoffset(t_vorlo, fadein_exp), VORLO_FIELD_FLOAT},
    {"fadeout", calcoffset(t_vorlo, fadeout), VORLO_FIELD_FLOAT},
    {"fadeout_exp", calcoffset(t_vorlo, fadeout_exp), VORLO_FIELD_FLOAT},
};

// A number as an integer attribute takes it: a float is cut toward zero, within range.
static t_atom_long vorlo_atomInteger(const t_atom *a)
{
    if (atom_gettype(a) == A_LONG)
        return a->a_w.w_long;
    double value = atom_getfloat(a);
    if (isnan(value))
        return 0;
    if (value >= 9.2e18 || value <= -9.2e18)
        return value > 0 ? INT64_MAX : INT64_MIN;
    return (t_atom_long)value;
}

// Beyond the float range a value stands for an infinity of its sign.
static float vorlo_atomFloat(const t_atom *a)
{
    double value = atom_getfloat(a);
    return value > FLT_MAX ? INFINITY : value < -FLT_MAX ? -INFINITY : (float)value;
}

// Main thread. No value changes nothing, but an empty metadatadict names no dictionary.
static void vorlo_storeAttr(t_vorlo *x, t_symbol *name, short argc, t_atom *argv)
{
    for (const t_vorlo_attrField &f : vorlo_attrFields) {
        if (!name || strcmp(name->s_name, f.name) != 0)
            continue;
        char *field = (char *)x + f.offset;
        if (f.type == VORLO_FIELD_SYMBOL)
            atom_setsym((t_atom *)field, argc > 0 && argv ? atom_getsym(argv) : gensym(""));
        else if (argc <= 0 || !argv)
            return;
        else if (f.type == VORLO_FIELD_CHAR)
            *(signed char *)field = (signed char)vorlo_atomInteger(argv);
        else if (f.type == VORLO_FIELD_LONG)
            *(long *)field = (long)vorlo_atomInteger(argv);
        else
            *(float *)field = vorlo_atomFloat(argv);
        return;
    }
}

t_max_err vorlo_setattr(t_vorlo *x, void *attr, long argc, t_atom *argv)
{
    t_symbol *name = (t_symbol *)object_method(attr, gensym("getname"));
    vorlo_onMainThread(x, (method)vorlo_storeAttr, name, argc, argv);
    return MAX_ERR_NONE;
}
