// Each rule of the host, broken on purpose, ends the process with a message naming it.
#include "host_probe.h"

#include <thread>

namespace {

class HostRules : public ::testing::Test {
  protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

t_object *sized_buffer(const char *name)
{
    host_buffer(name, 4, 1, 44100);
    return host_buffer_find(name);
}

void *lock_and_return(void *b)
{
    buffer_locksamples((t_object *)b);
    return nullptr;
}

void *lock_and_exit(void *b)
{
    buffer_locksamples((t_object *)b);
    systhread_exit(0);
    return nullptr;
}

void ignore(void *) {}

void *end_at_once(void *)
{
    return nullptr;
}

void *end_soon(void *)
{
    systhread_sleep(200);
    return nullptr;
}

void pump_inside(void *)
{
    host_idle(0);
}

TEST_F(HostRules, OutletsAreDrivenOnlyOnTheMainThread)
{
    EXPECT_DEATH(
        {
            probe_register();
            t_probe *x = (t_probe *)host_new("p", "probe", {});
            std::thread([x] { outlet_bang(x->out_left); }).join();
        },
        "host rule broken: outlet on main thread: an outlet of p");
}

TEST_F(HostRules, BuffersAreResizedOnlyOnTheMainThread)
{
    EXPECT_DEATH(
        {
            t_object *b = sized_buffer("r1");
            std::thread([b] {
                t_atom a;
                atom_setlong(&a, 8);
                typedmess(b, gensym("sizeinsamps"), 1, &a);
            }).join();
        },
        "host rule broken: resize on main thread: buffer~ r1 got \"sizeinsamps\"");
    EXPECT_DEATH(
        {
            t_object *b = sized_buffer("r2");
            std::thread([b] {
                t_atom a;
                atom_setfloat(&a, 48000);
                typedmess(b, gensym("sr"), 1, &a);
            }).join();
        },
        "host rule broken: resize on main thread: buffer~ r2 got \"sr\"");
}

TEST_F(HostRules, FilesAreLookedUpOnlyOnTheMainThread)
{
    EXPECT_DEATH(
        {
            std::thread([] {
                char name[MAX_PATH_CHARS] = "a.wav";
                short folder = 0;
                t_fourcc type = 0;
                locatefile_extended(name, &folder, &type, nullptr, 0);
            }).join();
        },
        "host rule broken: files on main thread: locatefile_extended was called on another thread");
}

TEST_F(HostRules, TheLockHolderDoesNotResize)
{
    EXPECT_DEATH(
        {
            t_object *b = sized_buffer("r3");
            buffer_locksamples(b);
            t_atom a;
            atom_setlong(&a, 8);
            typedmess(b, gensym("sizeinsamps"), 1, &a);
        },
        "host rule broken: resize by lock holder: buffer~ r3");
}

TEST_F(HostRules, UnlockMatchesALockOfTheSameThread)
{
    EXPECT_DEATH(buffer_unlocksamples(sized_buffer("u1")), "host rule broken: unlock matches lock: .*buffer~ u1");
    EXPECT_DEATH(
        {
            t_object *b = sized_buffer("u2");
            std::thread([b] { buffer_locksamples(b); }).join();
            buffer_unlocksamples(b);
        },
        "host rule broken: unlock matches lock");
}

TEST_F(HostRules, NoLockIsLeftWhenAThreadEnds)
{
    EXPECT_DEATH(
        {
            t_systhread t;
            systhread_create((method)lock_and_return, sized_buffer("l1"), 0, 0, 0, &t);
            systhread_join(t, nullptr);
        },
        "host rule broken: no lock at thread end: .*buffer~ l1");
    EXPECT_DEATH(
        {
            t_systhread t;
            systhread_create((method)lock_and_exit, sized_buffer("l2"), 0, 0, 0, &t);
            systhread_join(t, nullptr);
        },
        "host rule broken: no lock at thread end: .*buffer~ l2");
}

TEST_F(HostRules, QueuedFunctionsRunOnTheMainThreadOneAtATime)
{
    EXPECT_DEATH(std::thread([] { host_idle(0); }).join(), "host rule broken: queue on main thread: .*another thread");
    EXPECT_DEATH(
        {
            t_qelem *q = qelem_new(nullptr, (method)pump_inside);
            qelem_set(q);
            host_idle(0);
        },
        "host rule broken: queue on main thread: .*while a queued function is running");
}

TEST_F(HostRules, AnInstanceReleasesItsObjectsBeforeItIsFreed)
{
    EXPECT_DEATH(
        {
            probe_run run = probe_script({"new p probe", "p leak", "free p"});
            (void)run;
        },
        "host rule broken: instance objects released: p was freed with 1 object\\(s\\) of its own alive: string");
}

TEST_F(HostRules, OnlyLiveHostObjectsAreAccepted)
{
    EXPECT_DEATH(
        {
            t_object fake = {};
            object_free(&fake);
        },
        "host rule broken: live host object: object_free");
    EXPECT_DEATH(
        {
            t_qelem *q = qelem_new(nullptr, (method)ignore);
            t_string *s = string_new("");
            qelem_set(s);
            qelem_free(q);
        },
        "host rule broken: live host object: qelem_set wants a queue element and was given a string");
}

TEST_F(HostRules, AThreadIsJoinedOnce)
{
    EXPECT_DEATH(
        {
            t_systhread t;
            systhread_create((method)end_at_once, nullptr, 0, 0, 0, &t);
            systhread_join(t, nullptr);
            systhread_join(t, nullptr);
        },
        "host rule broken: join once");
    // After a detach, whether the thread still runs or has ended, its handle is dead.
    for (method body : {(method)end_soon, (method)end_at_once}) {
        auto detached = [body] {
            t_systhread t;
            systhread_create(body, nullptr, 0, 0, 0, &t);
            systhread_detach(t);
            if (body == (method)end_at_once)
                host_wait(60);
            return t;
        };
        EXPECT_DEATH(systhread_join(detached(), nullptr), "host rule broken: join once");
        EXPECT_DEATH(systhread_setpriority(detached(), 1), "host rule broken: join once");
        EXPECT_DEATH(systhread_detach(detached()), "host rule broken: join once");
    }
}

// Buffer references, strings and retained dictionaries are made and let go of on the main
// thread only; each call made elsewhere breaks the rule.
struct main_made {
    t_buffer_ref *ref;
    t_string *string;
    t_dictionary *dictionary;
};

main_made make_on_main()
{
    host_dictionary("held", {});
    return {buffer_ref_new(nullptr, gensym("any")), string_new("text"), dictobj_findregistered_retain(gensym("held"))};
}

TEST_F(HostRules, HostObjectsAreMadeAndFreedOnTheMainThread)
{
    const struct {
        const char *call;
        void (*elsewhere)(main_made &m);
    } rows[] = {
        {"buffer_ref_new", [](main_made &) { buffer_ref_new(nullptr, gensym("any")); }},
        {"object_free of a buffer reference", [](main_made &m) { object_free(m.ref); }},
        {"string_new", [](main_made &) { string_new("text"); }},
        {"object_free of a string", [](main_made &m) { object_free(m.string); }},
        {"dictobj_findregistered_retain", [](main_made &) { dictobj_findregistered_retain(gensym("held")); }},
        {"dictobj_release", [](main_made &m) { dictobj_release(m.dictionary); }},
    };
    for (const auto &row : rows)
        EXPECT_DEATH(
            {
                main_made m = make_on_main();
                std::thread([&] { row.elsewhere(m); }).join();
            },
            std::string("host rule broken: host objects on the main thread: ") + row.call + " on another thread");
}

TEST_F(HostRules, ADictionaryIsReleasedOncePerRetain)
{
    EXPECT_DEATH(
        {
            host_dictionary("once", {});
            t_dictionary *d = dictobj_findregistered_retain(gensym("once"));
            dictobj_release(d);
            dictobj_release(d);
        },
        "host rule broken: release matches retain: dictionary once");
}

TEST_F(HostRules, OnlyHostThreadsExitThroughTheHost)
{
    EXPECT_DEATH(systhread_exit(0), "host rule broken: exit from a host thread");
}

TEST(HostLeniency, NullHandlesAreHarmless)
{
    EXPECT_EQ(object_free(nullptr), MAX_ERR_NONE);
    EXPECT_EQ(systhread_join(nullptr, nullptr), 0);
    systhread_setpriority(nullptr, -1);
    qelem_free(nullptr);
    EXPECT_EQ(systhread_mutex_free(nullptr), 0);
}

} // namespace
