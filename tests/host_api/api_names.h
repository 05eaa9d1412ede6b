// The host interface that the object uses: every name whose declaration the headless
// host's headers must share with the SDK's.
#ifndef VORLO_API_NAMES_H
#define VORLO_API_NAMES_H

#define VORLO_API_FUNCTIONS(X)                                                                          \
    X(ext_main) X(class_new) X(class_addmethod) X(class_addattr) X(attr_offset_new)                     \
    X(class_attr_addattr_format) X(class_attr_addattr_parse) X(class_attr_get) X(attr_addfilter_clip)   \
    X(object_method_imp) X(class_register) X(common_symbols_init) X(common_symbols_gettable) X(gensym)  \
    X(gensym_tr) X(str_tr) X(object_alloc) X(object_free) X(object_method_typed)                        \
    X(object_attr_setvalueof) X(attr_args_process) X(atom_getsymarg) X(listout) X(bangout)             \
    X(outlet_list) X(outlet_bang) X(defer) X(defer_low) X(qelem_new) X(qelem_set) X(qelem_unset)      \
    X(qelem_free) X(systhread_create) X(systhread_join) X(systhread_detach) X(systhread_ismainthread)   \
    X(systhread_exit) X(systhread_sleep)                                                                \
    X(systhread_setpriority) X(systhread_mutex_new) X(systhread_mutex_lock) X(systhread_mutex_unlock)   \
    X(systhread_mutex_free) X(buffer_ref_new) X(buffer_ref_exists) X(buffer_ref_getobject)              \
    X(buffer_ref_notify)                                                                                \
    X(buffer_getframecount) X(buffer_getchannelcount) X(buffer_getsamplerate) X(buffer_locksamples)     \
    X(buffer_unlocksamples) X(buffer_setdirty) X(buffer_view) X(typedmess)                              \
    X(dictobj_findregistered_retain) X(dictobj_release) X(dictionary_clear) X(dictionary_appendlong)    \
    X(dictionary_appendstring) X(dictionary_getstring) X(string_new) X(string_append) X(string_getptr)  \
    X(path_nameconform) X(locatefile_extended) X(path_toabsolutesystempath) X(post) X(object_post) X(object_warn) X(object_error) X(object_poststring)       \
    X(atom_gettype) X(atom_getsym) X(atom_getfloat) X(atom_setsym) X(atom_setlong) X(atom_setfloat)     \
    X(snprintf_zero)

#define VORLO_API_TYPES(X)                                                                              \
    X(t_ptr_int) X(t_ptr_uint) X(t_atom_long) X(t_atom_float) X(t_max_err) X(method) X(t_object)        \
    X(t_symbol) X(t_atom) X(t_class *) X(t_outlet *) X(t_qelem *) X(t_systhread) X(t_systhread_mutex)   \
    X(t_buffer_ref *) X(t_buffer_obj) X(t_dictionary *) X(t_string) X(t_common_symbols_table *) X(t_fourcc)

#define VORLO_API_MEMBERS(X)                                                                            \
    X(t_object, o_messlist) X(t_object, o_magic) X(t_object, o_inlet) X(t_object, o_outlet)            \
    X(t_symbol, s_name) X(t_symbol, s_thing) X(t_atom, a_type) X(t_atom, a_w) X(union word, w_long)    \
    X(union word, w_float) X(union word, w_sym) X(union word, w_obj) X(t_string, s_obj)                \
    X(t_string, s_text) X(t_string, s_size)

#define VORLO_API_CONSTANTS(X)                                                                          \
    X(MAX_ERR_NONE) X(MAX_ERR_GENERIC) X(A_NOTHING) X(A_LONG) X(A_FLOAT) X(A_SYM) X(A_OBJ) X(A_DEFLONG) \
    X(A_DEFFLOAT) X(A_DEFSYM) X(A_GIMME) X(A_CANT) X(ASSIST_INLET) X(ASSIST_OUTLET)                     \
    X(ASSIST_MAX_STRING_LEN) X(MAX_PATH_CHARS) X(MAX_FILENAME_CHARS) X(PATH_STYLE_MAX)                 \
    X(PATH_STYLE_NATIVE) X(PATH_TYPE_IGNORE) X(PATH_TYPE_ABSOLUTE) X(PATH_TYPE_RELATIVE)               \
    X(PATH_TYPE_BOOT) X(SYSTHREAD_MUTEX_NORMAL)

// Macros that stand for a value: their type must agree.
#define VORLO_API_EXPRESSIONS(X)                                                                        \
    X(_sym_nothing) X(_sym_info) X(_sym_filename) X(_sym_filepath) X(_sym_dictionary) X(CLASS_BOX)     \
    X(USESYM(long)) X(calcoffset(t_atom, a_w)) X(object_method((void *)0, gensym("x")))                \
    X(object_method((void *)0, gensym("x"), 1, 2, 3, 4, 5, 6, 7, 8))

#endif
