// The class as the patcher sees it: banner, attributes with their defaults and clips, the
// box's arguments, the set message, help texts, the metadatadict setter and the
// double-click, all through the host.
#include "fixtures.h"
#include "headless_host.h"

#include <gtest/gtest.h>

#include <string.h>

namespace {

class Shell : public ::testing::Test {
protected:
    void SetUp() override
    {
        start_vorlo();
        prepare_lines({"buffer~ snd 100 2", "buffer~ src 10 1", "new v vorlo~ snd"});
    }
    void TearDown() override
    {
        run("free v");
        EXPECT_EQ(host_alive_count(), 0);
    }
    static void run(const std::string &line) { EXPECT_EQ(host_run_line(line), 0) << line; }
    static t_object *instance() { return host_instance("v"); }
    std::vector<std::string> get(const std::string &attr)
    {
        host_take_outlets();
        run("get v " + attr);
        return host_take_outlets();
    }
    // What a load into the box's buffer~ says on the console: nothing when it found one.
    static std::vector<std::string> load_says()
    {
        prepare_lines({"buffer~ snd 100 2"});
        run("v importreplace buffer=src");
        EXPECT_TRUE(host_wait(30));
        host_take_outlets();
        return host_take_console();
    }
    // The size of buffer~ snd: a load that found it gave it the source's 10 frames of one channel.
    static long snd_samples()
    {
        long frames = 0, channels = 0;
        double rate = 0;
        std::vector<float> samples;
        host_buffer_read("snd", &frames, &channels, &rate, &samples);
        return frames * channels;
    }
};

TEST(ShellBanner, PostedOnceWithNoObject)
{
    EXPECT_EQ(start_vorlo(), std::vector<std::string>{"vorlo~ 2023/05/14 vorlo.example"});
}

TEST(ShellClass, AttributesAndTheirInspectorMetadata)
{
    start_vorlo();
    struct MetaCase {
        const char *attr;
        std::vector<std::string> subattrs;  // in the order they were added
        std::vector<std::pair<const char *, const char *>> values;
    };
    const std::vector<MetaCase> cases = {
        {"resample",
         {"style", "label", "enumvals", "save", "order"},
         {{"style", "enumindex"},
          {"label", "\"Resample loaded audio\""},
          {"enumvals", "unchanged 1->8000 2->11025 3->16000 4->22050 5->32000 6->44100 7->48000 8->88200 9->96000 "
                       "10->176400 11->192000 12->352800 13->384000"},
          {"save", "1"},
          {"order", "2"}}},
        {"metadatadict",
         {"style", "label", "save", "order"},
         {{"style", "text"}, {"label", "\"Specify a dict name to get file metadata\""}, {"order", "3"}}},
        {"debug",
         {"style", "label", "save", "order"},
         {{"style", "onoff"}, {"label", "\"Print debug info to Max window\""}, {"order", "4"}}},
        {"stream_nb", {"label", "save"}, {{"label", "\"Use a specific stream from the file, -1 = autoselect\""}}},
        {"import_mix",
         {"style", "label", "save", "category", "order"},
         {{"style", "onoff"}, {"label", "\"Mix imported audio (off = overwrite)\""}, {"category", "Import"},
          {"order", "5"}}},
        {"import_gain",
         {"label", "save", "category", "order"},
         {{"label", "\"Volume of imported audio in dB\""}, {"order", "6"}}},
        {"fadein",
         {"label", "save", "category", "order"},
         {{"label", "\"Fade-in of imported audio in ms\""}, {"order", "7"}}},
        {"fadein_exp",
         {"label", "save", "category", "order"},
         {{"label", "\"Exponential base of fade-in\""}, {"order", "8"}}},
        {"fadeout",
         {"label", "save", "category", "order"},
         {{"label", "\"Fade-out of imported audio in ms\""}, {"order", "9"}}},
        {"fadeout_exp",
         {"label", "save", "category", "order"},
         {{"label", "\"Exponential base of fade-out\""}, {"order", "10"}, {"category", "Import"}, {"save", "1"}}},
        {"decoders",
         {"label", "save", "order"},
         {{"label", "\"Decoders of a long file at once, 0 = one per core\""}, {"order", "11"}, {"save", "1"}}},
    };
    std::vector<std::string> names;
    for (const MetaCase &c : cases) {
        SCOPED_TRACE(c.attr);
        names.push_back(c.attr);
        EXPECT_EQ(host_attr_subattr_names("vorlo~", c.attr), c.subattrs);
        for (const auto &v : c.values) {
            std::string text;
            EXPECT_TRUE(host_attr_subattr("vorlo~", c.attr, v.first, &text)) << v.first;
            EXPECT_EQ(text, v.second) << v.first;
        }
    }
    EXPECT_EQ(host_attr_names("vorlo~"), names);
}

TEST_F(Shell, FourOutlets)
{
    EXPECT_EQ(host_outlet_count(instance()), 4);
}

struct AttrCase {
    const char *attr;
    const char *fresh;   // `get` of a fresh instance
    const char *set;     // a value sent as a message, or null
    const char *stored;  // `get` afterwards
    const char *console = nullptr;  // what the setter said
};

TEST_F(Shell, AttributeDefaultsAndStoredValues)
{
    const std::vector<AttrCase> cases = {
        {"resample", "v resample 0", "13", "v resample 13"},
        {"metadatadict", "v metadatadict", "meta", "v metadatadict meta"},
        {"debug", "v debug 0", "1", "v debug 1"},
        {"stream_nb", "v stream_nb -1", "3", "v stream_nb 3"},
        {"import_mix", "v import_mix 0", "1", "v import_mix 1"},
        {"import_gain", "v import_gain 0.", "-12", "v import_gain -12."},
        {"fadein", "v fadein 0.", "-5", "v fadein 0."},
        {"fadein_exp", "v fadein_exp 1.", "-0.5", "v fadein_exp 0."},
        {"fadeout", "v fadeout 0.", "-1", "v fadeout 0."},
        {"fadeout_exp", "v fadeout_exp 1.", "2.5", "v fadeout_exp 2.5"},
        {"decoders", "v decoders 0", "3", "v decoders 3"},
        {"decoders", "v decoders 0", "-2", "v decoders 0"},
        {"fadeout", "v fadeout 0.", "250", "v fadeout 250."},
        // A gain whose factor could not be finite is refused, and the attribute keeps its value.
        {"import_gain", "v import_gain 0.", "200", "v import_gain 200."},
        {"import_gain", "v import_gain 0.", "600", "v import_gain 0.",
         "vorlo~: error: import_gain 600 is out of range (-200 to 200): it stays 0"},
        {"import_gain", "v import_gain 0.", "-800", "v import_gain 0.",
         "vorlo~: error: import_gain -800 is out of range (-200 to 200): it stays 0"},
    };
    for (const AttrCase &c : cases) {
        SCOPED_TRACE(std::string(c.attr) + " " + c.set);
        run("free v");
        run("new v vorlo~ snd");
        EXPECT_EQ(get(c.attr), std::vector<std::string>{c.fresh});
        run(std::string("v ") + c.attr + " " + c.set);
        EXPECT_EQ(get(c.attr), std::vector<std::string>{c.stored});
        std::vector<std::string> said;
        if (c.console)
            said.push_back(c.console);
        EXPECT_EQ(host_take_console(), said);
    }
}

// The first box argument names the buffer~ that loads write into, unless it is a number or
// an attribute; the attributes after it are set.
TEST_F(Shell, BoxArgumentsNameTheBufferAndSetAttributes)
{
    run("free v");
    run("new v vorlo~ snd @debug 1 @stream_nb 2");
    EXPECT_EQ(get("debug"), std::vector<std::string>{"v debug 1"});
    EXPECT_EQ(get("stream_nb"), std::vector<std::string>{"v stream_nb 2"});
    run("v debug 0");
    EXPECT_EQ(load_says(), std::vector<std::string>{});
    EXPECT_EQ(snd_samples(), 10);

    const std::string unnamed = "vorlo~: error: the target buffer~ does not exist: no buffer~ name has been set";
    const std::vector<std::pair<std::string, std::string>> names = {
        {"new v vorlo~", unnamed},
        {"new v vorlo~ @debug 0", unnamed},
        {"new v vorlo~ 7", unnamed},
        {"new v vorlo~ other extra", "vorlo~: error: the target buffer~ does not exist: other"},
    };
    for (const auto &c : names) {
        run("free v");
        run(c.first);
        EXPECT_EQ(load_says(), std::vector<std::string>{c.second}) << c.first;
        EXPECT_EQ(snd_samples(), 200) << c.first;
    }
    EXPECT_EQ(get("debug"), std::vector<std::string>{"v debug 0"});
}

TEST_F(Shell, MetadatadictSetter)
{
    t_object *x = instance();
    t_atom number;
    atom_setlong(&number, 5);
    t_atom word;
    atom_setsym(&word, gensym("meta"));
    auto set = [x](long argc, t_atom *argv) { return object_attr_setvalueof(x, gensym("metadatadict"), argc, argv); };
    auto stored = [x]() {
        std::vector<t_atom> value;
        EXPECT_TRUE(host_attr_value(x, "metadatadict", &value));
        EXPECT_EQ(value.size(), 1u);
        EXPECT_EQ(value.empty() ? 0 : atom_gettype(&value[0]), A_SYM);
        return value.empty() ? nullptr : atom_getsym(&value[0]);
    };

    EXPECT_EQ(set(1, &word), MAX_ERR_NONE);
    EXPECT_EQ(stored(), gensym("meta"));
    EXPECT_EQ(set(0, &word), MAX_ERR_NONE);
    EXPECT_EQ(stored(), gensym(""));
    set(1, &word);
    EXPECT_EQ(set(1, nullptr), MAX_ERR_NONE);
    EXPECT_EQ(stored(), gensym(""));
    // A number in its place stores the symbol the host gives for it.
    EXPECT_EQ(set(1, &number), MAX_ERR_NONE);
    EXPECT_EQ(stored(), atom_getsym(&number));
}

TEST_F(Shell, SetWithoutNameChangesNothing)
{
    run("v set");
    EXPECT_EQ(host_take_console(),
              std::vector<std::string>{
                  "vorlo~: error: You need to provide a buffer~ name as argument for the \"set\" message"});
    EXPECT_EQ(load_says(), std::vector<std::string>{});
    EXPECT_EQ(snd_samples(), 10);

    run("v set other");
    EXPECT_TRUE(host_take_console().empty());
    EXPECT_EQ(load_says(), std::vector<std::string>{"vorlo~: error: the target buffer~ does not exist: other"});
    EXPECT_EQ(snd_samples(), 200);
}

TEST_F(Shell, AssistTexts)
{
    struct AssistCase {
        long direction;
        long index;
        const char *text;  // null: nothing written
    };
    const std::vector<AssistCase> cases = {
        {ASSIST_INLET, 0, " "},
        {ASSIST_INLET, 2, " "},
        {ASSIST_INLET, 3, nullptr},
        {ASSIST_INLET, -1, nullptr},
        {ASSIST_OUTLET, 0,
         "Output list with file properties. Fires when vorlo~ starts to write samples to the buffer~. "},
        {ASSIST_OUTLET, 1, "bang if complete file written to buffer~"},
        {ASSIST_OUTLET, 2, "bang if error while processing or file has no audio stream"},
        {ASSIST_OUTLET, 3, "not used"},
        {ASSIST_OUTLET, 4, nullptr},
        {0, 1, "bang if complete file written to buffer~"},
    };
    for (const AssistCase &c : cases) {
        SCOPED_TRACE(std::to_string(c.direction) + "/" + std::to_string(c.index));
        char text[ASSIST_MAX_STRING_LEN];
        strcpy(text, "untouched");
        object_method(instance(), gensym("assist"), nullptr, c.direction, c.index, text);
        EXPECT_STREQ(text, c.text ? c.text : "untouched");
    }
}

// The double-click, as the patcher sends it.
TEST_F(Shell, DoubleClickOpensTheLastTarget)
{
    prepare_lines({"buffer~ other 10 1"});
    long snd = host_buffer_view_requests("snd");
    long other = host_buffer_view_requests("other");
    auto click = [this]() { object_method(instance(), gensym("dblclick")); };

    click();  // no request yet: nothing to show
    EXPECT_EQ(host_buffer_view_requests("snd"), snd);

    prepare_lines({"v replace /nx/a.wav"});
    click();  // after the load has ended and released its reference
    EXPECT_EQ(host_buffer_view_requests("snd"), snd + 1);

    prepare_lines({"v set other"});
    click();  // set alone does not move the view
    EXPECT_EQ(host_buffer_view_requests("snd"), snd + 2);
    EXPECT_EQ(host_buffer_view_requests("other"), other);

    prepare_lines({"v set nosuch", "v replace /nx/a.wav"});
    click();  // the last request found no buffer
    EXPECT_EQ(host_buffer_view_requests("snd"), snd + 2);
    EXPECT_EQ(host_buffer_view_requests("other"), other);

    prepare_lines({"v set other", "v replace /nx/a.wav"});
    long alive = host_alive_count();
    click();
    EXPECT_EQ(host_buffer_view_requests("other"), other + 1);
    EXPECT_EQ(host_alive_count(), alive) << "the click's reference to the buffer~ is gone";
}

}  // namespace
