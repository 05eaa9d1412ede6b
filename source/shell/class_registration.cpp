// The class vorlo~: its messages, its attributes and the symbols that later code compares
// against or sends. ext_main runs once, when the host loads the external.
#include "object_record.h"

t_class *s_vorlo_class;
t_symbol *symsizeinsamps;
t_symbol *symsr;
t_symbol *_sym_importreplace;
t_symbol *_sym_import;
t_symbol *_sym_unspecified;
t_symbol *_sym_buffer;
t_symbol *symfree;
t_symbol *symunbinding;

// Indexed by the `resample` attribute; entry 0 stands for "keep the rate" and is no rate.
int32_t vorlo_samplerates[VORLO_SAMPLERATES] = {
    0, 8000, 11025, 16000, 22050, 32000, 44100, 48000, 88200, 96000, 176400, 192000, 352800, 384000,
};

int32_t vorlo_resultRateIndex(const t_vorlo_attrs *attrs)
{
    // A message may store any 8-bit value; only 1 to 13 name a rate of the table.
    return attrs->resample >= 1 && attrs->resample < VORLO_SAMPLERATES ? attrs->resample : 0;
}

// The import attributes after the first share their inspector metadata but for the label
// and whether negative values are clipped to 0.
static void vorlo_addImportMeta(t_class *c, const char *name, const char *label, bool clipAtZero)
{
    CLASS_ATTR_LABEL(c, name, 0, label);
    CLASS_ATTR_SAVE(c, name, 0);
    CLASS_ATTR_CATEGORY(c, name, 0, "Import");
    if (clipAtZero)
        CLASS_ATTR_FILTER_MIN(c, name, 0);
}

static void vorlo_addGeneralAttrs(t_class *c)
{
    CLASS_ATTR_CHAR(c, "resample", 0, t_vorlo, resample);
    CLASS_ATTR_STYLE_LABEL(c, "resample", 0, "enumindex", "Resample loaded audio");
    class_attr_addattr_parse(c, "resample", "enumvals", USESYM(atom), 0,
                             "unchanged 1->8000 2->11025 3->16000 4->22050 5->32000 6->44100 7->48000 "
                             "8->88200 9->96000 10->176400 11->192000 12->352800 13->384000");
    CLASS_ATTR_SAVE(c, "resample", 0);

    CLASS_ATTR_ATOM(c, "metadatadict", 0, t_vorlo, metadatadict);
    CLASS_ATTR_STYLE_LABEL(c, "metadatadict", 0, "text", "Specify a dict name to get file metadata");
    CLASS_ATTR_SAVE(c, "metadatadict", 0);

    CLASS_ATTR_CHAR(c, "debug", 0, t_vorlo, debug);
    CLASS_ATTR_STYLE_LABEL(c, "debug", 0, "onoff", "Print debug info to Max window");
    CLASS_ATTR_SAVE(c, "debug", 0);

    CLASS_ATTR_LONG(c, "stream_nb", 0, t_vorlo, stream_nb);
    CLASS_ATTR_LABEL(c, "stream_nb", 0, "Use a specific stream from the file, -1 = autoselect");
    CLASS_ATTR_SAVE(c, "stream_nb", 0);

    CLASS_ATTR_ORDER(c, "resample", 0, "2");
    CLASS_ATTR_ORDER(c, "metadatadict", 0, "3");
    CLASS_ATTR_ORDER(c, "debug", 0, "4");
}

static void vorlo_addImportAttrs(t_class *c)
{
    CLASS_ATTR_CHAR(c, "import_mix", 0, t_vorlo, import_mix);
    CLASS_ATTR_STYLE_LABEL(c, "import_mix", 0, "onoff", "Mix imported audio (off = overwrite)");
    CLASS_ATTR_SAVE(c, "import_mix", 0);
    CLASS_ATTR_CATEGORY(c, "import_mix", 0, "Import");

    CLASS_ATTR_FLOAT(c, "import_gain", 0, t_vorlo, import_gain);
    vorlo_addImportMeta(c, "import_gain", "Volume of imported audio in dB", false);
    CLASS_ATTR_FLOAT(c, "fadein", 0, t_vorlo, fadein);
    vorlo_addImportMeta(c, "fadein", "Fade-in of imported audio in ms", true);
    CLASS_ATTR_FLOAT(c, "fadein_exp", 0, t_vorlo, fadein_exp);
    vorlo_addImportMeta(c, "fadein_exp", "Exponential base of fade-in", true);
    CLASS_ATTR_FLOAT(c, "fadeout", 0, t_vorlo, fadeout);
    vorlo_addImportMeta(c, "fadeout", "Fade-out of imported audio in ms", true);
    CLASS_ATTR_FLOAT(c, "fadeout_exp", 0, t_vorlo, fadeout_exp);
    vorlo_addImportMeta(c, "fadeout_exp", "Exponential base of fade-out", true);

    CLASS_ATTR_ORDER(c, "import_mix", 0, "5");
    CLASS_ATTR_ORDER(c, "import_gain", 0, "6");
    CLASS_ATTR_ORDER(c, "fadein", 0, "7");
    CLASS_ATTR_ORDER(c, "fadein_exp", 0, "8");
    CLASS_ATTR_ORDER(c, "fadeout", 0, "9");
    CLASS_ATTR_ORDER(c, "fadeout_exp", 0, "10");
}

// Every attribute is stored through vorlo_setattr, which moves the value to the main thread.
static void vorlo_addSetters(t_class *c)
{
    static const char *const names[] = {"resample", "metadatadict", "debug", "stream_nb", "import_mix",
                                        "import_gain", "fadein", "fadein_exp", "fadeout", "fadeout_exp"};
    for (const char *name : names)
        CLASS_ATTR_ACCESSORS(c, name, (method)0L, vorlo_setattr);
}

void ext_main(void *r)
{
    (void)r;
    common_symbols_init();

    t_class *c = class_new("vorlo~", (method)vorlo_new, (method)vorlo_free, (long)sizeof(t_vorlo), (method)0L,
                           A_GIMME, 0);

    class_addmethod(c, (method)vorlo_set,      "set",           A_GIMME, 0);
    class_addmethod(c, (method)vorlo_assist,   "assist",        A_CANT,  0);
    class_addmethod(c, (method)vorlo_dblclick, "dblclick",      A_CANT,  0);
    class_addmethod(c, (method)vorlo_notify,   "notify",        A_CANT,  0);
    class_addmethod(c, (method)vorlo_replace,  "replace",       A_GIMME, 0);
    class_addmethod(c, (method)vorlo_break,    "break",                  0);
    class_addmethod(c, (method)vorlo_replace,  "info",          A_GIMME, 0);
    class_addmethod(c, (method)vorlo_replace,  "importreplace", A_GIMME, 0);
    class_addmethod(c, (method)vorlo_replace,  "import",        A_GIMME, 0);

    vorlo_addGeneralAttrs(c);
    vorlo_addImportAttrs(c);
    vorlo_addSetters(c);

    class_register(CLASS_BOX, c);
    s_vorlo_class = c;

    symsizeinsamps = gensym("sizeinsamps");
    symsr = gensym("sr");
    _sym_importreplace = gensym("importreplace");
    _sym_import = gensym("import");
    _sym_unspecified = gensym("unspecified");
    _sym_buffer = gensym("buffer");
    symfree = gensym("free");
    symunbinding = gensym("globalsymbol_unbinding");

    object_post(nullptr, "vorlo~ 2023/05/14 vorlo.example");
}
