// Registered dictionaries: entries kept in the order their keys were first added.
#include "host_internal.h"
#include "headless_host.h"

#include <cstdio>
#include <map>
#include <mutex>

namespace {

struct dict_entry {
    t_symbol *key;
    bool is_string;
    t_atom_long number;
    std::string text;
};

struct dict_rec {
    t_dictionary d;
    std::string name;
    std::vector<dict_entry> entries;
    long retains;
};

std::mutex dict_mutex;   // guards the register and every dictionary's contents
// Like buffers, dictionaries live as long as the host: the register is never destroyed.
std::map<std::string, dict_rec *> &dictionaries = *new std::map<std::string, dict_rec *>();

dict_rec *as_dict(const t_dictionary *d, const char *call)
{
    host_expect_kind(d, HOST_DICTIONARY, call);
    return (dict_rec *)d;
}

dict_entry *find_entry(dict_rec *d, const t_symbol *key)
{
    for (dict_entry &e : d->entries)
        if (e.key == key)
            return &e;
    return nullptr;
}

// A key added again keeps its place and takes the new value.
void put(dict_rec *d, const dict_entry &entry)
{
    if (dict_entry *e = find_entry(d, entry.key))
        *e = entry;
    else
        d->entries.push_back(entry);
}

std::string json_string(const std::string &s)
{
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += (char)c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c < 0x20) {
            char code[8];
            snprintf(code, sizeof code, "\\u%04x", c);
            out += code;
        } else {
            out += (char)c;
        }
    }
    return out + "\"";
}

} // namespace

extern "C" {

t_dictionary *dictobj_findregistered_retain(t_symbol *name)
{
    host_rule_objects_on_main_thread("dictobj_findregistered_retain");
    if (!name)
        return nullptr;
    std::lock_guard<std::mutex> lock(dict_mutex);
    auto found = dictionaries.find(name->s_name);
    if (found == dictionaries.end())
        return nullptr;
    found->second->retains++;
    host_alive_add(found->second, HOST_DICTIONARY, host_current_owner());
    return &found->second->d;
}

t_max_err dictobj_release(t_dictionary *d)
{
    host_rule_objects_on_main_thread("dictobj_release");
    if (!d)
        return MAX_ERR_GENERIC;
    dict_rec *r = as_dict(d, "dictobj_release");
    std::lock_guard<std::mutex> lock(dict_mutex);
    host_rule_release_matches_retain(r->name.c_str(), r->retains);
    r->retains--;
    host_alive_remove(r, HOST_DICTIONARY);
    return MAX_ERR_NONE;
}

t_max_err dictionary_clear(t_dictionary *d)
{
    dict_rec *r = as_dict(d, "dictionary_clear");
    std::lock_guard<std::mutex> lock(dict_mutex);
    r->entries.clear();
    return MAX_ERR_NONE;
}

t_max_err dictionary_appendlong(t_dictionary *d, t_symbol *key, t_atom_long value)
{
    dict_rec *r = as_dict(d, "dictionary_appendlong");
    if (!key)
        return MAX_ERR_GENERIC;
    std::lock_guard<std::mutex> lock(dict_mutex);
    put(r, dict_entry{key, false, value, std::string()});
    return MAX_ERR_NONE;
}

t_max_err dictionary_appendstring(t_dictionary *d, t_symbol *key, const char *value)
{
    dict_rec *r = as_dict(d, "dictionary_appendstring");
    if (!key || !value)
        return MAX_ERR_GENERIC;
    std::lock_guard<std::mutex> lock(dict_mutex);
    put(r, dict_entry{key, true, 0, value});
    return MAX_ERR_NONE;
}

// The text stays valid until the entry changes or the dictionary is cleared.
t_max_err dictionary_getstring(const t_dictionary *d, t_symbol *key, const char **value)
{
    dict_rec *r = as_dict(d, "dictionary_getstring");
    std::lock_guard<std::mutex> lock(dict_mutex);
    dict_entry *e = find_entry(r, key);
    if (!e || !e->is_string)
        return MAX_ERR_GENERIC;
    *value = e->text.c_str();
    return MAX_ERR_NONE;
}

} // extern "C"

void host_dictionary(const std::string &name, const std::vector<std::pair<std::string, std::string>> &entries)
{
    std::lock_guard<std::mutex> lock(dict_mutex);
    dict_rec *&r = dictionaries[name];
    if (!r) {
        r = new dict_rec();
        host_object_init(&r->d.d_obj, HOST_DICTIONARY);
        r->name = name;
    }
    r->entries.clear();
    for (const auto &entry : entries)
        put(r, dict_entry{gensym(entry.first.c_str()), true, 0, entry.second});
}

bool host_dictionary_json(const std::string &name, std::string *json)
{
    std::lock_guard<std::mutex> lock(dict_mutex);
    auto found = dictionaries.find(name);
    if (found == dictionaries.end())
        return false;
    const std::vector<dict_entry> &entries = found->second->entries;
    if (entries.empty()) {
        *json = "{}\n";
        return true;
    }
    std::string out = "{\n";
    for (size_t i = 0; i < entries.size(); i++) {
        const dict_entry &e = entries[i];
        out += "  " + json_string(e.key->s_name) + ": ";
        out += e.is_string ? json_string(e.text) : std::to_string((long long)e.number);
        out += i + 1 < entries.size() ? ",\n" : "\n";
    }
    *json = out + "}\n";
    return true;
}
