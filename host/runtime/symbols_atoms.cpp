// Symbols, atoms and the common-symbols table.
#include "host_internal.h"
#include "headless_host.h"
#include "z_dsp.h"

#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

namespace {

std::mutex symbol_mutex;

// Symbols live as long as the process; the table, never destroyed, keeps them reachable
// even while the process exits.
std::unordered_map<std::string, t_symbol *> &symbol_table()
{
    static auto *table = new std::unordered_map<std::string, t_symbol *>();
    return *table;
}

bool parse_long(const std::string &word, t_atom_long *value)
{
    size_t i = (word[0] == '-' || word[0] == '+') ? 1 : 0;
    if (i == word.size())
        return false;
    for (size_t k = i; k < word.size(); k++)
        if (word[k] < '0' || word[k] > '9')
            return false;
    errno = 0;
    long long v = strtoll(word.c_str(), nullptr, 10);
    if (errno == ERANGE)
        return false;
    *value = (t_atom_long)v;
    return true;
}

// A float needs digits and a point or an exponent; "inf" and "nan" stay symbols.
bool parse_float(const std::string &word, double *value)
{
    if (word.find_first_of("0123456789") == std::string::npos)
        return false;
    if (word.find_first_of(".eE") == std::string::npos)
        return false;
    if (word.find_first_not_of("0123456789.eE+-") != std::string::npos)
        return false;
    char *end = nullptr;
    double v = strtod(word.c_str(), &end);
    if (*end != '\0')
        return false;
    *value = v;
    return true;
}

} // namespace

extern "C" {

t_symbol *gensym(const char *s)
{
    std::lock_guard<std::mutex> lock(symbol_mutex);
    auto &table = symbol_table();
    auto found = table.find(s);
    if (found != table.end())
        return found->second;
    t_symbol *sym = new t_symbol;
    sym->s_name = strdup(s);
    sym->s_thing = nullptr;
    table.emplace(s, sym);
    return sym;
}

t_symbol *gensym_tr(const char *s)
{
    return gensym(s);
}

char *str_tr(const char *s)
{
    return (char *)s;
}

static t_common_symbols_table common_table;

t_common_symbols_table *_common_symbols = nullptr;

t_common_symbols_table *common_symbols_gettable(void)
{
    if (!common_table.s_nothing) {
        common_table.s_nothing = gensym("");
        common_table.s_box = gensym("box");
        common_table.s_dictionary = gensym("dictionary");
        common_table.s_filename = gensym("filename");
        common_table.s_filepath = gensym("filepath");
        common_table.s_info = gensym("info");
    }
    return &common_table;
}

void common_symbols_init(void)
{
    _common_symbols = common_symbols_gettable();
}

long atom_gettype(const t_atom *a)
{
    return a ? (long)a->a_type : (long)A_NOTHING;
}

t_symbol *atom_getsym(const t_atom *a)
{
    if (a && a->a_type == A_SYM && a->a_w.w_sym)
        return a->a_w.w_sym;
    return gensym("");
}

t_atom_float atom_getfloat(const t_atom *a)
{
    if (!a)
        return 0.0;
    if (a->a_type == A_FLOAT)
        return a->a_w.w_float;
    if (a->a_type == A_LONG)
        return (t_atom_float)a->a_w.w_long;
    return 0.0;
}

t_max_err atom_setsym(t_atom *a, t_symbol *b)
{
    a->a_type = A_SYM;
    a->a_w.w_sym = b;
    return MAX_ERR_NONE;
}

t_max_err atom_setlong(t_atom *a, t_atom_long b)
{
    a->a_type = A_LONG;
    a->a_w.w_long = b;
    return MAX_ERR_NONE;
}

t_max_err atom_setfloat(t_atom *a, double b)
{
    a->a_type = A_FLOAT;
    a->a_w.w_float = b;
    return MAX_ERR_NONE;
}

t_symbol *atom_getsymarg(short which, short argc, t_atom *argv)
{
    if (which < 0 || which >= argc || !argv)
        return gensym("");
    return atom_getsym(argv + which);
}

int snprintf_zero(char *buffer, size_t count, const char *format, ...)
{
    if (!buffer || count == 0)
        return 0;
    va_list ap;
    va_start(ap, format);
    int n = vsnprintf(buffer, count, format, ap);
    va_end(ap);
    buffer[count - 1] = '\0';
    return n;
}

} // extern "C"

t_atom_long host_atom_getlong(const t_atom *a)
{
    if (a->a_type == A_LONG)
        return a->a_w.w_long;
    if (a->a_type == A_FLOAT) {
        double f = a->a_w.w_float;
        if (std::isnan(f))
            return 0;
        if (f >= 9.2e18)
            return INT64_MAX;
        if (f <= -9.2e18)
            return INT64_MIN;
        return (t_atom_long)f;
    }
    return 0;
}

// Six decimals, trailing zeros dropped, the point kept: "44100.", "0.5", "-12.".
std::string host_format_float(double f)
{
    if (!std::isfinite(f))
        return std::isnan(f) ? "nan" : (f > 0 ? "inf" : "-inf");
    char text[512];
    snprintf(text, sizeof text, "%.6f", f);
    size_t end = strlen(text);
    while (end > 0 && text[end - 1] == '0')
        end--;
    return std::string(text, end);
}

std::string host_format_atom(const t_atom *a)
{
    switch (a->a_type) {
    case A_LONG:
        return std::to_string((long long)a->a_w.w_long);
    case A_FLOAT:
        return host_format_float(a->a_w.w_float);
    case A_SYM: {
        std::string name = a->a_w.w_sym ? a->a_w.w_sym->s_name : "";
        if (name.empty() || name.find_first_of(" \t") != std::string::npos)
            return "\"" + name + "\"";
        return name;
    }
    case A_OBJ:
        return "<object>";
    default:
        return "<nothing>";
    }
}

std::string host_format_atoms(long argc, const t_atom *argv)
{
    std::string text;
    for (long i = 0; i < argc; i++) {
        if (i)
            text += ' ';
        text += host_format_atom(argv + i);
    }
    return text;
}

std::vector<std::string> host_split_words(const std::string &text, std::vector<bool> *quoted)
{
    std::vector<std::string> words;
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n') {
            i++;
            continue;
        }
        std::string word;
        bool in_quotes = text[i] == '"';
        if (in_quotes) {
            size_t close = text.find('"', i + 1);
            if (close == std::string::npos)
                close = text.size();
            word = text.substr(i + 1, close - i - 1);
            i = close + 1;
        } else {
            size_t end = text.find_first_of(" \t\r\n", i);
            if (end == std::string::npos)
                end = text.size();
            word = text.substr(i, end - i);
            i = end;
        }
        words.push_back(word);
        if (quoted)
            quoted->push_back(in_quotes);
    }
    return words;
}

t_atom host_word_atom(const std::string &word, bool quoted)
{
    t_atom a;
    t_atom_long l;
    double f;
    if (!quoted && parse_long(word, &l))
        atom_setlong(&a, l);
    else if (!quoted && parse_float(word, &f))
        atom_setfloat(&a, f);
    else
        atom_setsym(&a, gensym(word.c_str()));
    return a;
}

std::vector<t_atom> host_parse_atoms(const std::string &text)
{
    std::vector<bool> quoted;
    std::vector<std::string> words = host_split_words(text, &quoted);
    std::vector<t_atom> atoms;
    for (size_t i = 0; i < words.size(); i++)
        atoms.push_back(host_word_atom(words[i], quoted[i]));
    return atoms;
}
