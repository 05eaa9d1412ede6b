// The attributes, in one table: from it the class registers them, an instance takes its
// defaults, each setter stores and clips a value, and a request takes the values it loads
// with. A patch may set an attribute from the scheduler thread (a metro in Overdrive)
// while the main thread starts a load that reads it: every setter hands the value to the
// main thread, which stores it in the order the values came.
#include "object_record.h"

#include <float.h>
#include <limits.h>
#include <math.h>
#include <stddef.h>
#include <string.h>

enum { VORLO_FIELD_CHAR, VORLO_FIELD_LONG, VORLO_FIELD_FLOAT, VORLO_FIELD_SYMBOL };

typedef struct _vorlo_attribute {
    const char *name;
    int type;
    long field;       // in t_vorlo
    long taken;       // in t_vorlo_attrs
    float value;      // the default (a symbol's is the empty symbol)
    const char *style;    // null: none
    const char *label;
    const char *category; // null: the object's own
    const char *order;
    bool clipAtZero;      // negative values are stored as 0
    float bound;          // a magnitude beyond which a value is refused; 0: none
} t_vorlo_attribute;

#define VORLO_ATTR(name, type, value, style, label, category, order, clip, bound)                            \
    {#name, type, (long)offsetof(t_vorlo, name), (long)offsetof(t_vorlo_attrs, name), value, style, label,   \
     category, order, clip, bound}

// A gain beyond it is a typo (600 for 6.00) rather than a level: at 200 dB the factor is 10^10,
// still finite for every sample a decoder gives, where 800 dB would make it infinite.
static const float VORLO_GAIN_BOUND = 200.0f;

static const t_vorlo_attribute vorlo_attributes[] = {
    VORLO_ATTR(resample, VORLO_FIELD_CHAR, 0, "enumindex", "Resample loaded audio", nullptr, "2", false, 0),
    VORLO_ATTR(metadatadict, VORLO_FIELD_SYMBOL, 0, "text", "Specify a dict name to get file metadata", nullptr,
               "3", false, 0),
    VORLO_ATTR(debug, VORLO_FIELD_CHAR, 0, "onoff", "Print debug info to Max window", nullptr, "4", false, 0),
    VORLO_ATTR(stream_nb, VORLO_FIELD_LONG, -1, nullptr, "Use a specific stream from the file, -1 = autoselect",
               nullptr, nullptr, false, 0),
    VORLO_ATTR(import_mix, VORLO_FIELD_CHAR, 0, "onoff", "Mix imported audio (off = overwrite)", "Import", "5",
               false, 0),
    VORLO_ATTR(import_gain, VORLO_FIELD_FLOAT, 0, nullptr, "Volume of imported audio in dB", "Import", "6", false,
               VORLO_GAIN_BOUND),
    VORLO_ATTR(fadein, VORLO_FIELD_FLOAT, 0, nullptr, "Fade-in of imported audio in ms", "Import", "7", true, 0),
    VORLO_ATTR(fadein_exp, VORLO_FIELD_FLOAT, 1, nullptr, "Exponential base of fade-in", "Import", "8", true, 0),
    VORLO_ATTR(fadeout, VORLO_FIELD_FLOAT, 0, nullptr, "Fade-out of imported audio in ms", "Import", "9", true, 0),
    VORLO_ATTR(fadeout_exp, VORLO_FIELD_FLOAT, 1, nullptr, "Exponential base of fade-out", "Import", "10", true, 0),
    VORLO_ATTR(decoders, VORLO_FIELD_LONG, 0, nullptr, "Decoders of a long file at once, 0 = one per core", nullptr,
               "11", true, 0),
};

static const char *const vorlo_fieldTypes[] = {"char", "long", "float32", "atom"};

// The SDK's attribute macros check the field's size against the type; so does this table.
static_assert(sizeof(((t_vorlo *)nullptr)->resample) == 1 && sizeof(((t_vorlo *)nullptr)->debug) == 1 &&
                  sizeof(((t_vorlo *)nullptr)->import_mix) == 1,
              "char attributes are chars");
static_assert(sizeof(((t_vorlo *)nullptr)->stream_nb) == sizeof(long) && sizeof(((t_vorlo *)nullptr)->decoders) == sizeof(long),
              "long attributes are longs");

static void vorlo_registerAttribute(t_class *c, const t_vorlo_attribute *a)
{
    class_addattr(c, attr_offset_new(a->name, gensym(vorlo_fieldTypes[a->type]), 0, (method)0L, (method)0L,
                                     a->field));
    if (a->style)
        CLASS_ATTR_STYLE(c, a->name, 0, a->style);
    CLASS_ATTR_LABEL(c, a->name, 0, a->label);
    if (strcmp(a->name, "resample") == 0)
        class_attr_addattr_parse(c, a->name, "enumvals", USESYM(atom), 0,
                                 "unchanged 1->8000 2->11025 3->16000 4->22050 5->32000 6->44100 7->48000 "
                                 "8->88200 9->96000 10->176400 11->192000 12->352800 13->384000");
    CLASS_ATTR_SAVE(c, a->name, 0);
    if (a->category)
        CLASS_ATTR_CATEGORY(c, a->name, 0, a->category);
    if (a->clipAtZero)
        CLASS_ATTR_FILTER_MIN(c, a->name, 0);
    if (a->order)
        CLASS_ATTR_ORDER(c, a->name, 0, a->order);
    CLASS_ATTR_ACCESSORS(c, a->name, (method)0L, vorlo_setattr);
}

void vorlo_addAttributes(t_class *c)
{
    for (const t_vorlo_attribute &a : vorlo_attributes)
        vorlo_registerAttribute(c, &a);
}

static void vorlo_setDefault(t_vorlo *x, const t_vorlo_attribute *a)
{
    char *field = (char *)x + a->field;
    switch (a->type) {
    case VORLO_FIELD_CHAR: *(signed char *)field = (signed char)a->value; break;
    case VORLO_FIELD_LONG: *(long *)field = (long)a->value; break;
    case VORLO_FIELD_FLOAT: *(float *)field = a->value; break;
    default: atom_setsym((t_atom *)field, gensym("")); break;
    }
}

void vorlo_setAttrDefaults(t_vorlo *x)
{
    for (const t_vorlo_attribute &a : vorlo_attributes)
        vorlo_setDefault(x, &a);
}

void vorlo_takeAttributes(const t_vorlo *x, t_vorlo_attrs *taken)
{
    for (const t_vorlo_attribute &a : vorlo_attributes) {
        const char *field = (const char *)x + a.field;
        char *copy = (char *)taken + a.taken;
        switch (a.type) {
        case VORLO_FIELD_CHAR: *(char *)copy = *field; break;
        case VORLO_FIELD_LONG: *(long *)copy = *(const long *)field; break;
        case VORLO_FIELD_FLOAT: *(float *)copy = *(const float *)field; break;
        default: *(t_symbol **)copy = atom_getsym((const t_atom *)field); break;
        }
    }
}

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

// Within the range of a long on every platform (32 bits on Windows).
static long vorlo_atomLong(const t_atom *a, bool clipAtZero)
{
    t_atom_long value = vorlo_atomInteger(a);
    if (clipAtZero && value < 0)
        return 0;
    return value > LONG_MAX ? LONG_MAX : value < LONG_MIN ? LONG_MIN : (long)value;
}

// Beyond the float range a value stands for an infinity of its sign. The clip is the
// setter's own, whatever filter the host applies first; it takes NaN to 0 too.
static float vorlo_atomFloat(const t_atom *a, bool clipAtZero)
{
    double value = atom_getfloat(a);
    if (clipAtZero && !(value >= 0))
        return 0.0f;
    return value > FLT_MAX ? INFINITY : value < -FLT_MAX ? -INFINITY : (float)value;
}

// A value beyond the attribute's bound, or not a number, is refused: the attribute keeps
// what it held, and the console says so.
static bool vorlo_withinBound(t_vorlo *x, const t_vorlo_attribute *a, const t_atom *v)
{
    double value = atom_getfloat(v);
    if (!a->bound || fabs(value) <= a->bound)
        return true;
    object_error(&x->ob, "%s %g is out of range (%g to %g): it stays %g", a->name, value, -a->bound, a->bound,
                 *(const float *)((const char *)x + a->field));
    return false;
}

static void vorlo_storeValue(t_vorlo *x, const t_vorlo_attribute *a, short argc, t_atom *argv)
{
    char *field = (char *)x + a->field;
    if (argc > 0 && argv && !vorlo_withinBound(x, a, argv))
        return;
    if (a->type == VORLO_FIELD_SYMBOL)
        atom_setsym((t_atom *)field, argc > 0 && argv ? atom_getsym(argv) : gensym(""));
    else if (argc <= 0 || !argv)
        return;
    else if (a->type == VORLO_FIELD_CHAR)
        *(signed char *)field = (signed char)vorlo_atomInteger(argv);
    else if (a->type == VORLO_FIELD_LONG)
        *(long *)field = vorlo_atomLong(argv, a->clipAtZero);
    else
        *(float *)field = vorlo_atomFloat(argv, a->clipAtZero);
}

// Main thread. No value changes nothing, but an empty metadatadict names no dictionary.
static void vorlo_storeAttr(t_vorlo *x, t_symbol *name, short argc, t_atom *argv)
{
    for (const t_vorlo_attribute &a : vorlo_attributes)
        if (name && strcmp(name->s_name, a.name) == 0)
            vorlo_storeValue(x, &a, argc, argv);
}

t_max_err vorlo_setattr(t_vorlo *x, void *attr, long argc, t_atom *argv)
{
    t_symbol *name = (t_symbol *)object_method(attr, gensym("getname"));
    vorlo_onMainThread(x, (method)vorlo_storeAttr, name, argc, argv);
    return MAX_ERR_NONE;
}
