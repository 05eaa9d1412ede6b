// The main thread's queue, threads, stalled reads, buffer~ access and the count of live
// objects.
#include "fixtures.h"
#include "host_probe.h"

extern "C" {
#include <libavformat/avio.h>
}

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <pthread.h>
#include <sys/uio.h>
#include <thread>
#include <unistd.h>

namespace {

struct call_log {
    std::vector<std::string> calls;
    std::vector<bool> on_main;
};

call_log *log_of(void *x)
{
    return (call_log *)x;
}

bool on_main_thread()
{
    static pthread_t main_thread = pthread_self();   // first used from the test's main thread
    return pthread_equal(pthread_self(), main_thread) != 0;
}

void deferred(void *x, t_symbol *s, short argc, t_atom *argv)
{
    log_of(x)->calls.push_back(std::string(s->s_name) + (argc ? " " : "") + host_format_atoms(argc, argv));
    log_of(x)->on_main.push_back(on_main_thread());
}

void queued_a(void *x)
{
    log_of(x)->calls.push_back("a");
    log_of(x)->on_main.push_back(on_main_thread());
}

void queued_b(void *x)
{
    log_of(x)->calls.push_back("b");
    log_of(x)->on_main.push_back(on_main_thread());
}

// defer runs the call at once, on the thread that makes it, unless that is the scheduler
// thread (the script's rows); defer_low always queues a copy of the atoms for the main thread.
TEST(MainQueue, DeferRunsAtOnceAndDeferLowQueuesACopy)
{
    typedef void *(*defer_fn)(void *, method, t_symbol *, short, t_atom *);
    const struct {
        const char *name;
        defer_fn fn;
        bool on_main;
        bool at_once;
    } rows[] = {
        {"defer on the main thread", defer, true, true},
        {"defer on another thread", defer, false, true},
        {"defer_low on the main thread", defer_low, true, false},
        {"defer_low on another thread", defer_low, false, false},
    };
    on_main_thread();
    for (const auto &row : rows) {
        call_log log;
        auto call = [&] {
            t_atom atoms[2];
            atom_setsym(atoms, gensym("x"));
            atom_setfloat(atoms + 1, 0.5);
            row.fn(&log, (method)deferred, gensym("later"), 2, atoms);
            atom_setsym(atoms, gensym("overwritten"));
        };
        if (row.on_main)
            call();
        else
            std::thread(call).join();
        EXPECT_EQ(log.calls.size(), row.at_once ? 1u : 0u) << row.name;
        host_idle(0);
        EXPECT_EQ(log.calls, std::vector<std::string>{"later x 0.5"}) << row.name;
        EXPECT_EQ(log.on_main, std::vector<bool>{row.on_main || !row.at_once}) << row.name;
    }
}

TEST(MainQueue, QueueElementsRunOnceInTheOrderSet)
{
    on_main_thread();
    call_log log;
    long alive = host_alive_count();
    t_qelem *a = qelem_new(&log, (method)queued_a);
    t_qelem *b = qelem_new(&log, (method)queued_b);
    EXPECT_EQ(host_alive_count(), alive + 2);

    std::thread([&] {
        qelem_set(b);
        qelem_set(a);
        qelem_set(b);   // already pending: changes nothing
    }).join();
    host_idle(0);
    EXPECT_EQ(log.calls, (std::vector<std::string>{"b", "a"}));
    EXPECT_EQ(log.on_main, (std::vector<bool>{true, true}));

    log.calls.clear();
    qelem_set(a);
    qelem_set(b);
    qelem_unset(a);
    host_idle(0);
    EXPECT_EQ(log.calls, std::vector<std::string>{"b"});

    log.calls.clear();
    qelem_set(a);
    qelem_free(a);   // withdraws it
    qelem_free(b);
    host_idle(0);
    EXPECT_TRUE(log.calls.empty());
    EXPECT_EQ(host_alive_count(), alive);
}

TEST(MainQueue, IdleRunsWhatQueuedFunctionsQueue)
{
    probe_run run = probe_script({"new q probe", "q later", "idle 0", "q later", "free q"});
    EXPECT_EQ(run.out, std::vector<std::string>{"q 1: bang"});
}

struct worker {
    std::atomic<int> go{0};
    std::atomic<int> stage{0};
    bool use_exit = false;
};

void *worker_proc(void *arg)
{
    worker *w = (worker *)arg;
    while (!w->go)
        systhread_sleep(1);
    w->stage = 1;
    if (w->use_exit)
        systhread_exit(5);
    return (void *)(t_ptr_int)3;
}

TEST(Threads, WaitSeesAThreadEndedWhetherReturnedOrExited)
{
    for (bool use_exit : {false, true}) {
        worker w;
        w.use_exit = use_exit;
        t_systhread thread = nullptr;
        ASSERT_EQ(systhread_create((method)worker_proc, &w, 0, 0, 0, &thread), 0);
        EXPECT_FALSE(host_wait(0.02)) << "the thread is still running";
        w.go = 1;
        EXPECT_TRUE(host_wait(60));
        EXPECT_EQ(w.stage, 1);
        systhread_setpriority(thread, -1);   // ended, not yet joined
        EXPECT_EQ(host_thread_priority(thread), -1);
        unsigned int status = 0;
        EXPECT_EQ(systhread_join(thread, &status), 0);
        EXPECT_EQ(status, use_exit ? 5u : 3u);
    }
    EXPECT_EQ(systhread_join(nullptr, nullptr), 0);
    systhread_setpriority(nullptr, 0);
    EXPECT_TRUE(host_wait(0));
}

// A detached thread is no object of the instance that started it, so that instance may be
// freed while the thread runs; but it is counted until it ends, `wait` waits for it, and so
// does the end of a script.
TEST(Threads, ADetachedThreadIsWaitedForButNoInstancesObject)
{
    long alive = host_alive_count();
    probe_gate = 0;
    probe_run run = probe_script({"new p probe", "p detach", "free p"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(host_alive_count(), alive + 1) << "the running thread is not counted";
    EXPECT_FALSE(host_wait(0.05)) << "wait did not wait for the detached thread";
    probe_gate = 1;
    EXPECT_TRUE(host_wait(60));
    EXPECT_EQ(host_alive_count(), alive) << "the ended thread's record was not freed";

    probe_gate = 0;
    run = probe_script({"new p probe", "p detach"});
    std::thread opener([] {
        systhread_sleep(100);
        probe_gate = 1;
    });
    host_free_all();
    EXPECT_EQ(host_alive_count(), alive) << "the script ended before the detached thread";
    opener.join();
}

// The ways a file is read from a descriptor: FFmpeg's file protocol, as the object opens a
// file, and the C library's calls. Each reads 16 bytes, or returns -1.
const struct {
    const char *name;
    std::function<long(const std::string &path)> read16;
} file_readers[] = {
    {"avio", [](const std::string &path) -> long {
         AVIOContext *io = nullptr;
         if (avio_open2(&io, ("file:" + path).c_str(), AVIO_FLAG_READ, nullptr, nullptr) < 0)
             return -1;
         unsigned char bytes[16];
         long n = avio_read(io, bytes, sizeof bytes);
         avio_closep(&io);
         return n;
     }},
    {"read", [](const std::string &path) -> long {
         char bytes[16];
         int fd = open(path.c_str(), O_RDONLY);
         long n = fd < 0 ? -1 : (long)read(fd, bytes, sizeof bytes);
         close(fd);
         return n;
     }},
    {"pread", [](const std::string &path) -> long {
         char bytes[16];
         int fd = open(path.c_str(), O_RDONLY);
         long n = fd < 0 ? -1 : (long)pread(fd, bytes, sizeof bytes, 8);
         close(fd);
         return n;
     }},
    {"readv", [](const std::string &path) -> long {
         char a[6], b[10];
         struct iovec parts[2] = {{a, sizeof a}, {b, sizeof b}};
         int fd = open(path.c_str(), O_RDONLY);
         long n = fd < 0 ? -1 : (long)readv(fd, parts, 2);
         close(fd);
         return n;
     }},
};

// A stall holds every read of that file, whoever makes it, until its time has come, and no
// read of another file; a read that starts later goes on at once, and a stall of 0 s ends
// one that reads are waiting on.
TEST(Threads, AStalledFileIsReadOnlyWhenItsTimeHasCome)
{
    typedef std::chrono::steady_clock clock;
    const std::string stalled = fixture_dir_path("host_stalled.bin"), other = fixture_dir_path("host_unstalled.bin");
    for (const std::string &path : {stalled, other})
        std::ofstream(path) << std::string(64, 's');
    const size_t count = sizeof file_readers / sizeof file_readers[0];
    std::string error;
    clock::time_point start = clock::now();
    ASSERT_TRUE(host_stall(stalled, 1.0, &error)) << error;
    std::vector<long> got(count);
    std::vector<clock::time_point> ended(count);
    std::vector<std::thread> readers;
    for (size_t i = 0; i < count; i++)
        readers.emplace_back([&, i] {
            got[i] = file_readers[i].read16(stalled);
            ended[i] = clock::now();
        });
    for (const auto &reader : file_readers) {
        clock::time_point before = clock::now();
        EXPECT_EQ(reader.read16(other), 16) << reader.name;
        EXPECT_LT(clock::now() - before, std::chrono::milliseconds(500)) << reader.name << " of another file waited";
    }
    for (size_t i = 0; i < count; i++) {
        readers[i].join();
        EXPECT_EQ(got[i], 16) << file_readers[i].name;
        EXPECT_GE(ended[i] - start, std::chrono::seconds(1)) << file_readers[i].name << " went on before its time";
    }
    for (const auto &reader : file_readers) {
        clock::time_point before = clock::now();
        EXPECT_EQ(reader.read16(stalled), 16) << reader.name;
        EXPECT_LT(clock::now() - before, std::chrono::milliseconds(500)) << reader.name << " waited after the stall";
    }

    ASSERT_TRUE(host_stall(stalled, 60, &error)) << error;
    clock::time_point waiting = clock::now();
    std::thread reader([&] { got[0] = file_readers[0].read16(stalled); });
    systhread_sleep(100);
    ASSERT_TRUE(host_stall(stalled, 0, &error)) << error;
    reader.join();
    EXPECT_EQ(got[0], 16);
    EXPECT_LT(clock::now() - waiting, std::chrono::seconds(10)) << "a stall of 0 s did not end the one of 60 s";
    EXPECT_FALSE(host_stall(fixture_dir_path("host_no_such_file"), 1, &error));
}

TEST(Threads, MutexesExcludeEachOther)
{
    long alive = host_alive_count();
    t_systhread_mutex m = nullptr;
    ASSERT_EQ(systhread_mutex_new(&m, SYSTHREAD_MUTEX_NORMAL), 0);
    long counter = 0;
    auto add = [&] {
        for (int i = 0; i < 10000; i++) {
            systhread_mutex_lock(m);
            counter++;
            systhread_mutex_unlock(m);
        }
    };
    std::thread other(add);
    add();
    other.join();
    EXPECT_EQ(counter, 20000);
    systhread_mutex_free(m);
    EXPECT_EQ(host_alive_count(), alive);
}

TEST(Buffers, ReferencesLookTheNameUpEachTime)
{
    long alive = host_alive_count();
    t_buffer_ref *ref = buffer_ref_new(nullptr, gensym("late"));
    EXPECT_EQ(buffer_ref_exists(ref), 0);
    EXPECT_EQ(buffer_ref_getobject(ref), nullptr);
    host_buffer("late", 3, 2, 32000);
    ASSERT_NE(buffer_ref_getobject(ref), nullptr);
    t_buffer_obj *b = buffer_ref_getobject(ref);
    EXPECT_EQ(buffer_ref_exists(ref), 1);
    EXPECT_EQ(buffer_getframecount(b), 3);
    EXPECT_EQ(buffer_getchannelcount(b), 2);
    EXPECT_EQ(buffer_getsamplerate(b), 32000.0);
    object_free(ref);
    EXPECT_EQ(host_alive_count(), alive);
}

TEST(Buffers, SizingMessagesKeepWhatBothShapesHold)
{
    host_buffer("shape", 3, 2, 44100);
    host_buffer_fill("shape", [](long f, long c) { return (float)(f * 10 + c); });
    t_object *b = host_buffer_find("shape");
    std::vector<t_atom> size = host_parse_atoms("4 1"), rate = host_parse_atoms("48000.");
    typedmess(b, gensym("sizeinsamps"), 2, size.data());
    typedmess(b, gensym("sr"), 1, rate.data());
    long frames, channels;
    double sr;
    std::vector<float> samples;
    host_buffer_read("shape", &frames, &channels, &sr, &samples);
    EXPECT_EQ(frames, 4);
    EXPECT_EQ(channels, 1);
    EXPECT_EQ(sr, 48000.0);
    EXPECT_EQ(samples, (std::vector<float>{0, 10, 20, 0}));
    EXPECT_EQ(host_buffer_messages("shape"), (std::vector<std::string>{"sizeinsamps 4 1", "sr 48000."}));

    buffer_setdirty(b);
    buffer_view(b);
    EXPECT_EQ(host_buffer_dirty_marks("shape"), 1);
    EXPECT_EQ(host_buffer_view_requests("shape"), 1);
}

TEST(Buffers, LockedSamplesAreTheWholeBufferAndEmptyOnesNone)
{
    host_buffer("empty", 0, 2, 44100);
    EXPECT_EQ(buffer_locksamples(host_buffer_find("empty")), nullptr);
    host_buffer("full", 2, 3, 44100);
    t_object *b = host_buffer_find("full");
    float *samples = buffer_locksamples(b);
    ASSERT_NE(samples, nullptr);
    for (int i = 0; i < 6; i++)
        samples[i] = (float)i;
    buffer_unlocksamples(b);
    std::vector<float> copy;
    host_buffer_read("full", nullptr, nullptr, nullptr, &copy);
    EXPECT_EQ(copy, (std::vector<float>{0, 1, 2, 3, 4, 5}));
}

// A resize waits while another thread holds the samples locked: the thread marks its
// release before it unlocks, so the resize must find the mark set.
TEST(Buffers, AResizeWaitsUntilTheSamplesAreUnlocked)
{
    host_buffer("held", 4, 1, 44100);
    t_object *b = host_buffer_find("held");
    std::atomic<int> locked{0}, released{0};
    std::thread holder([&] {
        float *s = buffer_locksamples(b);
        s[3] = 1.0f;
        locked = 1;
        systhread_sleep(20);
        released = 1;
        buffer_unlocksamples(b);
    });
    while (!locked)
        systhread_sleep(1);
    std::vector<t_atom> size = host_parse_atoms("8 1");
    typedmess(b, gensym("sizeinsamps"), 2, size.data());
    EXPECT_EQ(released, 1);
    holder.join();
    std::vector<float> samples;
    host_buffer_read("held", nullptr, nullptr, nullptr, &samples);
    EXPECT_EQ(samples, (std::vector<float>{0, 0, 0, 1, 0, 0, 0, 0}));
}

TEST(Dictionaries, RetainedDictionariesAreCountedUntilReleased)
{
    host_dictionary("meta", {{"filename", "a.wav"}});
    long alive = host_alive_count();
    EXPECT_EQ(dictobj_findregistered_retain(gensym("absent")), nullptr);
    t_dictionary *d = dictobj_findregistered_retain(gensym("meta"));
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(host_alive_count(), alive + 1);
    const char *value = nullptr;
    EXPECT_EQ(dictionary_getstring(d, gensym("filename"), &value), MAX_ERR_NONE);
    EXPECT_STREQ(value, "a.wav");
    EXPECT_EQ(dictionary_getstring(d, gensym("filepath"), &value), MAX_ERR_GENERIC);
    dictionary_clear(d);
    dictionary_appendlong(d, gensym("channels"), 2);
    dictionary_appendstring(d, gensym("codec"), "flac");
    dictionary_appendlong(d, gensym("channels"), 6);
    EXPECT_EQ(dictionary_getstring(d, gensym("channels"), &value), MAX_ERR_GENERIC);
    dictobj_release(d);
    EXPECT_EQ(host_alive_count(), alive);
    std::string json;
    ASSERT_TRUE(host_dictionary_json("meta", &json));
    EXPECT_EQ(json, "{\n  \"channels\": 6,\n  \"codec\": \"flac\"\n}\n");
}

TEST(Strings, StringsGrowAndPathsStayWithinTheirBound)
{
    long alive = host_alive_count();
    t_string *s = string_new("/tmp/");
    string_append(s, "a file.wav");
    EXPECT_STREQ(string_getptr(s), "/tmp/a file.wav");
    EXPECT_EQ(host_alive_count(), alive + 1);
    object_free(s);
    EXPECT_EQ(host_alive_count(), alive);

    char dst[MAX_PATH_CHARS];
    EXPECT_EQ(path_nameconform("/tmp/a b.wav", dst, PATH_STYLE_NATIVE, PATH_TYPE_BOOT), 0);
    EXPECT_STREQ(dst, "/tmp/a b.wav");
    std::string long_path(MAX_PATH_CHARS + 10, 'x');
    EXPECT_NE(path_nameconform(long_path.c_str(), dst, PATH_STYLE_NATIVE, PATH_TYPE_BOOT), 0);
    EXPECT_EQ(strlen(dst), (size_t)MAX_PATH_CHARS - 1);

    char small[8];
    EXPECT_EQ(snprintf_zero(small, sizeof small, "%s", "overlong text"), 13);
    EXPECT_STREQ(small, "overlon");
}

TEST(Symbols, CommonSymbolsHoldTheirWords)
{
    common_symbols_init();
    EXPECT_EQ(_sym_nothing, gensym(""));
    EXPECT_EQ(_sym_info, gensym("info"));
    EXPECT_EQ(_sym_filename, gensym("filename"));
    EXPECT_EQ(_sym_filepath, gensym("filepath"));
    EXPECT_EQ(_sym_box, gensym("box"));
    t_atom n;
    atom_setlong(&n, 3);
    EXPECT_EQ(atom_getsym(&n), _sym_nothing);
    EXPECT_EQ(atom_getfloat(&n), 3.0);
    EXPECT_EQ(atom_getsymarg(1, 1, &n), _sym_nothing);
}

} // namespace
