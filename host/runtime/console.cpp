// The console (standard error) and the standard output, or the capture that tests read.
#include "host_internal.h"
#include "headless_host.h"

#include <cstdarg>
#include <cstdio>
#include <map>
#include <mutex>

namespace {

std::mutex output_mutex;
bool capturing = false;
std::vector<std::string> captured_output;
std::vector<std::string> captured_console;

struct pending_line {
    std::string prefix;
    std::string text;
};
std::map<const t_object *, pending_line> pieces;   // object_poststring lines not yet ended

enum { POSTSTRING_ENDS_LINE = 1 };

void write_line(FILE *stream, std::vector<std::string> *capture, const std::string &line)
{
    if (capturing) {
        capture->push_back(line);
        return;
    }
    fwrite(line.data(), 1, line.size(), stream);
    fputc('\n', stream);
    fflush(stream);
}

std::string vformat(const char *fmt, va_list ap)
{
    va_list copy;
    va_copy(copy, ap);
    int n = vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    if (n <= 0)
        return std::string();
    std::string text((size_t)n + 1, '\0');
    vsnprintf(&text[0], text.size(), fmt, ap);
    text.resize((size_t)n);
    return text;
}

std::string object_prefix(const t_object *x, const char *severity)
{
    std::string prefix;
    if (x) {
        host_kind kind = host_object_kind(x, "the console");
        prefix = kind == HOST_INSTANCE ? ((const t_class *)x->o_messlist)->name : host_kind_name(kind);
        prefix += ": ";
    }
    return prefix + severity;
}

} // namespace

void host_output_line(const std::string &line)
{
    std::lock_guard<std::mutex> lock(output_mutex);
    write_line(stdout, &captured_output, line);
}

// One console line per line of the text; a final line end is the text's own.
void host_console_text(const char *prefix, const std::string &text)
{
    std::string body = text;
    if (!body.empty() && body.back() == '\n')
        body.pop_back();
    std::lock_guard<std::mutex> lock(output_mutex);
    size_t start = 0;
    for (;;) {
        size_t end = body.find('\n', start);
        write_line(stderr, &captured_console, prefix + body.substr(start, end - start));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
}

void host_script_error(const std::string &text)
{
    host_console_text("vorlo-host: ", text);
}

void host_capture(bool on)
{
    std::lock_guard<std::mutex> lock(output_mutex);
    capturing = on;
}

std::vector<std::string> host_take_outlets()
{
    std::lock_guard<std::mutex> lock(output_mutex);
    std::vector<std::string> lines;
    lines.swap(captured_output);
    return lines;
}

std::vector<std::string> host_take_console()
{
    std::lock_guard<std::mutex> lock(output_mutex);
    std::vector<std::string> lines;
    lines.swap(captured_console);
    return lines;
}

extern "C" {

void post(const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    std::string text = vformat(fmt, ap);
    va_end(ap);
    host_console_text("", text);
}

void object_post(t_object *x, const char *s, ...)
{
    va_list ap;
    va_start(ap, s);
    std::string text = vformat(s, ap);
    va_end(ap);
    host_console_text(object_prefix(x, "").c_str(), text);
}

void object_warn(t_object *x, const char *s, ...)
{
    va_list ap;
    va_start(ap, s);
    std::string text = vformat(s, ap);
    va_end(ap);
    host_console_text(object_prefix(x, "warning: ").c_str(), text);
}

void object_error(t_object *x, const char *s, ...)
{
    va_list ap;
    va_start(ap, s);
    std::string text = vformat(s, ap);
    va_end(ap);
    host_console_text(object_prefix(x, "error: ").c_str(), text);
}

// Pieces join into one console line until a piece whose flags end the line; the line
// takes the kind of its first piece (1 error, 2 warning, else a post).
void object_poststring(t_object *ob, long kind, long flags, char *text)
{
    std::string prefix = object_prefix(ob, kind == 1 ? "error: " : kind == 2 ? "warning: " : "");
    pending_line line;
    {
        std::lock_guard<std::mutex> lock(output_mutex);
        auto found = pieces.find(ob);
        if (found == pieces.end())
            found = pieces.emplace(ob, pending_line{prefix, std::string()}).first;
        found->second.text += text ? text : "";
        if (!(flags & POSTSTRING_ENDS_LINE))
            return;
        line = found->second;
        pieces.erase(found);
    }
    host_console_text(line.prefix.c_str(), line.text);
}

} // extern "C"
