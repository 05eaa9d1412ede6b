// The attribute system, on the probe class: offset attributes of each type at their
// width, the clip filter, a custom setter, box arguments, and sub-attributes in order.
#include "host_probe.h"

namespace {

class Attributes : public ::testing::Test {
  protected:
    void SetUp() override
    {
        probe_register();
        x = (t_probe *)host_new("a", "probe", {});
        ASSERT_NE(x, nullptr);
    }
    void TearDown() override { object_free(x); }

    // Sends "a LINE" and returns what "get a ATTR" prints.
    std::string set_and_get(const std::string &line, const std::string &attr)
    {
        probe_run run = probe_script({"a " + line, "get a " + attr});
        EXPECT_EQ(run.status, 0) << line;
        EXPECT_TRUE(run.console.empty()) << line << ": " << (run.console.empty() ? "" : run.console[0]);
        return run.out.empty() ? "" : run.out.back();
    }

    t_probe *x = nullptr;
};

struct attr_case {
    const char *line;
    const char *attr;
    const char *shown;
};

TEST_F(Attributes, MessagesSetTheFieldAtItsWidth)
{
    const attr_case cases[] = {
        {"flag 1", "flag", "a flag 1"},
        {"flag 2.7", "flag", "a flag 2"},
        {"flag -3", "flag", "a flag -3"},
        {"count 123456789012", "count", "a count 123456789012"},
        {"count 3.9", "count", "a count 3"},
        {"count -7", "count", "a count -7"},
        {"level 0.25", "level", "a level 0.25"},
        {"level 3", "level", "a level 3."},
        {"level -5", "level", "a level 0."},      // clipped at its minimum
        {"level -0.001", "level", "a level 0."},
        {"name foo", "name", "a name foo"},
        {"name 3", "name", "a name 3"},
        {"name 2.5 ignored", "name", "a name 2.5"},
        {"name \"two words\"", "name", "a name \"two words\""},
        {"custom bar baz", "custom", "a custom bar"}, // through its own setter
        {"custom 7", "custom", "a custom"},           // which keeps symbols only
        {"custom", "custom", "a custom"},
    };
    for (const attr_case &c : cases) {
        EXPECT_EQ(set_and_get(c.line, c.attr), c.shown) << c.line;
        EXPECT_EQ(x->flag_guard, PROBE_GUARD) << c.line;
        EXPECT_EQ(x->count_guard, PROBE_GUARD) << c.line;
        EXPECT_EQ(x->level_guard, PROBE_GUARD) << c.line;
    }
}

TEST_F(Attributes, FieldsHoldWhatTheMessageSaid)
{
    set_and_get("flag 1", "flag");
    set_and_get("count 42", "count");
    set_and_get("level 0.5", "level");
    set_and_get("name hello", "name");
    EXPECT_EQ(x->flag, 1);
    EXPECT_EQ(x->count, 42);
    EXPECT_EQ(x->level, 0.5f);
    EXPECT_EQ(atom_getsym(&x->name), gensym("hello"));
}

TEST_F(Attributes, AnAttributeWithoutValuesKeepsItsValue)
{
    set_and_get("count 5", "count");
    EXPECT_EQ(set_and_get("count", "count"), "a count 5");
}

TEST_F(Attributes, SetValueOfReportsUnknownAttributes)
{
    t_atom v;
    atom_setlong(&v, 1);
    EXPECT_EQ(object_attr_setvalueof(x, gensym("flag"), 1, &v), MAX_ERR_NONE);
    EXPECT_EQ(object_attr_setvalueof(x, gensym("nothing"), 1, &v), MAX_ERR_GENERIC);
    EXPECT_EQ(x->flag, 1);
}

struct args_case {
    const char *args;
    long flag;
    long count;
    float level;
    const char *name;
    std::vector<std::string> console;
};

TEST(AttributeArguments, BoxArgumentsSetAttributesAfterTheObjectsOwn)
{
    probe_register();
    const args_case cases[] = {
        {"", 0, -1, 1.0f, "", {}},
        {"snd", 0, -1, 1.0f, "", {}},
        {"snd @flag 1", 1, -1, 1.0f, "", {}},
        {"snd 5 @count 3 @level -2 @name x", 0, 3, 0.0f, "x", {}},
        {"@name a b @flag 1", 1, -1, 1.0f, "a", {}},
        {"@flag", 0, -1, 1.0f, "", {}},
        {"@bogus 1 @flag 1", 1, -1, 1.0f, "", {"probe: error: no attribute \"bogus\""}},
    };
    for (const args_case &c : cases) {
        host_capture(true);
        t_probe *x = (t_probe *)host_new("b", "probe", host_parse_atoms(c.args));
        std::vector<std::string> console = host_take_console();
        host_capture(false);
        ASSERT_NE(x, nullptr) << c.args;
        EXPECT_EQ(x->flag, c.flag) << c.args;
        EXPECT_EQ(x->count, c.count) << c.args;
        EXPECT_EQ(x->level, c.level) << c.args;
        EXPECT_EQ(atom_getsym(&x->name), gensym(c.name)) << c.args;
        EXPECT_EQ(console, c.console) << c.args;
        object_free(x);
    }
}

TEST(AttributeMetadata, SubAttributesKeepTheirOrderAndValues)
{
    probe_register();
    EXPECT_EQ(host_attr_names("probe"), (std::vector<std::string>{"flag", "count", "level", "name", "custom"}));
    EXPECT_EQ(host_attr_subattr_names("probe", "flag"),
              (std::vector<std::string>{"style", "label", "save", "category", "order"}));
    EXPECT_EQ(host_attr_subattr_names("probe", "count"), (std::vector<std::string>{"style", "enumvals"}));
    EXPECT_TRUE(host_attr_subattr_names("probe", "name").empty());

    struct {
        const char *attr, *sub, *text;
    } values[] = {
        {"flag", "style", "onoff"}, {"flag", "label", "\"Flag it\""}, {"flag", "save", "1"},
        {"flag", "category", "Probe"}, {"flag", "order", "2"}, {"count", "style", "enumindex"},
        {"count", "enumvals", "zero 1->one 2->two"},
    };
    for (const auto &v : values) {
        std::string text;
        ASSERT_TRUE(host_attr_subattr("probe", v.attr, v.sub, &text)) << v.attr << " " << v.sub;
        EXPECT_EQ(text, v.text) << v.attr << " " << v.sub;
    }
    std::string text;
    EXPECT_FALSE(host_attr_subattr("probe", "flag", "missing", &text));
    EXPECT_FALSE(host_attr_subattr("no_class", "flag", "style", &text));
}

TEST(AttributeMetadata, EnumValuesAreSplitIntoItems)
{
    probe_register();
    t_object *attr = (t_object *)class_attr_get(probe_class, gensym("count"));
    ASSERT_NE(attr, nullptr);
    EXPECT_EQ(class_attr_get(probe_class, gensym("nothing")), nullptr);
    class_attr_addattr_parse(probe_class, "count", "enumvals", USESYM(atom), 0, "a b c d");
    std::string text;
    ASSERT_TRUE(host_attr_subattr("probe", "count", "enumvals", &text));
    EXPECT_EQ(text, "a b c d");
    EXPECT_EQ(host_attr_subattr_names("probe", "count"), (std::vector<std::string>{"style", "enumvals"}));
}

TEST(ObjectMethods, CantMethodsAreCalledWithTheirOwnArguments)
{
    probe_register();
    t_object *x = host_new("c", "probe", {});
    char text[ASSIST_MAX_STRING_LEN] = "";
    object_method(x, gensym("assist"), nullptr, ASSIST_OUTLET, 2, text);
    EXPECT_STREQ(text, "out 2");
    EXPECT_EQ(object_method(x, gensym("missing")), nullptr);
    EXPECT_EQ(host_outlet_count(x), 3);
    object_free(x);
}

TEST(ObjectMethods, AllocatedRecordsStartZeroedWithTheirHeader)
{
    probe_register();
    t_probe *x = (t_probe *)object_alloc(probe_class);
    EXPECT_EQ(x->ob.o_messlist, (struct messlist *)probe_class);
    EXPECT_NE(x->ob.o_magic, 0);
    EXPECT_EQ(x->flag, 0);
    EXPECT_EQ(x->qelem, nullptr);
    EXPECT_EQ(x->leaked, nullptr);
    x->qelem = qelem_new(x, (method)probe_qfn);
    object_free(x);
    EXPECT_EQ(object_free(nullptr), MAX_ERR_NONE);
}

} // namespace
