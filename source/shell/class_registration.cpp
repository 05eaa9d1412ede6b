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

    vorlo_addAttributes(c);

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
