// The class as the patcher sees it: banner, attributes with their defaults and clips, the
// set message, help texts, the metadatadict setter and the rate table.
#include "shell_test_host.h"

#include <string.h>

namespace {

class Shell : public ::testing::Test {
protected:
    void SetUp() override
    {
        start_vorlo();
        shell_prepare({"buffer~ snd 100 2", "new v vorlo~ snd"});
    }
    void TearDown() override
    {
        shell_run("free v");
        EXPECT_EQ(host_alive_count(), 0);
    }
    std::vector<std::string> get(const std::string &attr)
    {
        host_take_outlets();
        shell_run("get v " + attr);
        return host_take_outlets();
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
    EXPECT_EQ(host_outlet_count((t_object *)shell_instance()), 4);
}

struct AttrCase {
    const char *attr;
    const char *fresh;   // `get` of a fresh instance
    const char *set;     // a value sent as a message, or null
    const char *stored;  // `get` afterwards
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
        {"fadeout", "v fadeout 0.", "250", "v fadeout 250."},
    };
    for (const AttrCase &c : cases) {
        SCOPED_TRACE(std::string(c.attr) + " " + c.set);
        shell_run("free v");
        shell_run("new v vorlo~ snd");
        EXPECT_EQ(get(c.attr), std::vector<std::string>{c.fresh});
        shell_run(std::string("v ") + c.attr + " " + c.set);
        EXPECT_EQ(get(c.attr), std::vector<std::string>{c.stored});
    }
    EXPECT_TRUE(host_take_console().empty());
}

TEST_F(Shell, BoxArgumentsNameTheBufferAndSetAttributes)
{
    shell_run("free v");
    shell_run("new v vorlo~ snd @debug 1 @stream_nb 2");
    t_vorlo *x = shell_instance();
    EXPECT_EQ(x->buffer_name, gensym("snd"));
    EXPECT_EQ(get("debug"), std::vector<std::string>{"v debug 1"});
    EXPECT_EQ(x->stream_nb, 2);
    EXPECT_EQ(x->streamIndex, -1);
    EXPECT_NE(x->frame, nullptr);
    EXPECT_NE(x->resampledFrame, nullptr);

    const std::vector<std::pair<std::string, t_symbol *>> names = {
        {"new v vorlo~", _sym_nothing},
        {"new v vorlo~ @debug 1", _sym_nothing},
        {"new v vorlo~ 7", atom_getsymarg(0, 1, host_parse_atoms("7").data())},
        {"new v vorlo~ other extra", gensym("other")},
    };
    for (const auto &c : names) {
        shell_run("free v");
        shell_run(c.first);
        EXPECT_EQ(shell_instance()->buffer_name, c.second) << c.first;
    }
    EXPECT_EQ(get("debug"), std::vector<std::string>{"v debug 0"});
}

TEST_F(Shell, MetadatadictSetter)
{
    t_vorlo *x = shell_instance();
    t_atom number;
    atom_setlong(&number, 5);
    t_atom word;
    atom_setsym(&word, gensym("meta"));
    auto set = [x](long argc, t_atom *argv) { return object_attr_setvalueof(x, gensym("metadatadict"), argc, argv); };

    EXPECT_EQ(set(1, &word), MAX_ERR_NONE);
    EXPECT_EQ(atom_getsym(&x->metadatadict), gensym("meta"));
    EXPECT_EQ(set(0, &word), MAX_ERR_NONE);
    EXPECT_EQ(atom_getsym(&x->metadatadict), gensym(""));
    set(1, &word);
    EXPECT_EQ(set(1, nullptr), MAX_ERR_NONE);
    EXPECT_EQ(atom_getsym(&x->metadatadict), gensym(""));
    // A number in its place stores the symbol the host gives for it.
    EXPECT_EQ(set(1, &number), MAX_ERR_NONE);
    EXPECT_EQ(atom_gettype(&x->metadatadict), A_SYM);
    EXPECT_EQ(atom_getsym(&x->metadatadict), atom_getsym(&number));
}

TEST_F(Shell, SetWithoutNameChangesNothing)
{
    shell_run("v set");
    EXPECT_EQ(host_take_console(),
              std::vector<std::string>{
                  "vorlo~: error: You need to provide a buffer~ name as argument for the \"set\" message"});
    EXPECT_EQ(shell_instance()->buffer_name, gensym("snd"));

    shell_run("v set other");
    EXPECT_TRUE(host_take_console().empty());
    EXPECT_EQ(shell_instance()->buffer_name, gensym("other"));
    EXPECT_EQ(shell_instance()->buffer_ref, nullptr);
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
        vorlo_assist(shell_instance(), nullptr, c.direction, c.index, text);
        EXPECT_STREQ(text, c.text ? c.text : "untouched");
    }
}

TEST_F(Shell, DoubleClickOpensTheLastTarget)
{
    shell_prepare({"buffer~ other 10 1"});
    long snd = host_buffer_view_requests("snd");
    long other = host_buffer_view_requests("other");
    t_vorlo *x = shell_instance();

    vorlo_dblclick(x);  // no request yet: nothing to show
    EXPECT_EQ(host_buffer_view_requests("snd"), snd);

    shell_prepare({"v replace /nx/a.wav"});
    vorlo_dblclick(x);  // after the load has ended and released its reference
    EXPECT_EQ(host_buffer_view_requests("snd"), snd + 1);

    shell_prepare({"v set other"});
    vorlo_dblclick(x);  // set alone does not move the view
    EXPECT_EQ(host_buffer_view_requests("snd"), snd + 2);
    EXPECT_EQ(host_buffer_view_requests("other"), other);

    shell_prepare({"v set nosuch", "v replace /nx/a.wav"});
    long alive = host_alive_count();
    vorlo_dblclick(x);  // the last request found no buffer
    EXPECT_EQ(host_buffer_view_requests("snd"), snd + 2);
    EXPECT_EQ(host_buffer_view_requests("other"), other);

    shell_prepare({"v set other", "v replace /nx/a.wav"});
    vorlo_dblclick(x);
    EXPECT_EQ(host_buffer_view_requests("other"), other + 1);
    EXPECT_EQ(host_alive_count(), alive + 1) << "only the unjoined loader is new; the click's reference is gone";
}

TEST(ShellRates, ResampleIndexNeverLeavesTheTable)
{
    start_vorlo();
    const int32_t rates[VORLO_SAMPLERATES] = {0,     8000,  11025,  16000,  22050,  32000,  44100,
                                              48000, 88200, 96000, 176400, 192000, 352800, 384000};
    for (int i = 0; i < VORLO_SAMPLERATES; ++i)
        EXPECT_EQ(vorlo_samplerates[i], rates[i]) << i;

    const std::vector<std::pair<int, int32_t>> cases = {{0, 0},  {1, 1},  {7, 7},    {13, 13},
                                                        {14, 0}, {-1, 0}, {127, 0}, {-128, 0}};
    t_vorlo x = {};
    for (const auto &c : cases) {
        x.attrs.resample = (signed char)c.first;
        EXPECT_EQ(vorlo_resultRateIndex(&x), c.second) << c.first;
    }
}

}  // namespace
