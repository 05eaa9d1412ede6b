// The script language of vorlo-host and its output formats, in process and as a program.
#include "fixtures.h"
#include "host_probe.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>

namespace {

struct script_case {
    const char *name;
    std::vector<std::string> lines;
    int status;
    std::vector<std::string> out;
    std::vector<std::string> console;
};

class ScriptLines : public ::testing::TestWithParam<script_case> {};

TEST_P(ScriptLines, PrintWhatTheHostWould)
{
    const script_case &c = GetParam();
    probe_run run = probe_script(c.lines);
    host_free_all();
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.console, c.console);
}

const script_case script_cases[] = {
    {"comments_and_blank_lines", {"# a comment", "", "   ", "  # indented"}, 0, {}, {}},
    {"buffer_defaults", {"buffer~ b1", "print b1"}, 0, {"b1 0 1 44100."}, {}},
    {"buffer_sized", {"buffer~ b2 4 2 48000", "print b2"}, 0, {"b2 4 2 48000."}, {}},
    {"buffer_resized", {"buffer~ b3 4 2", "buffer~ b3 10 1 22050.5", "print b3"}, 0, {"b3 10 1 22050.5"}, {}},
    {"outlet_formats",
     {"new p probe", "p say 44100. 2 1000. 0.5 -12 \"FL FR\" flac /tmp/a.flac"},
     0,
     {"p 0: 44100. 2 1000. 0.5 -12 \"FL FR\" flac /tmp/a.flac"},
     {}},
    {"floats_six_decimals", {"new p probe", "p say 0.1234567 -0.5 1e3 1.5e-7"}, 0, {"p 0: 0.123457 -0.5 1000. 0."}, {}},
    {"numbers_in_quotes_are_symbols", {"new p probe", "p say \"12\" 12"}, 0, {"p 0: 12 12"}, {}},
    {"outlets_numbered_from_the_left",
     {"new p probe", "p fire"},
     0,
     {"p 2: bang", "p 1: bang", "p 0: bang"},
     {}},
    {"console_formats",
     {"new p probe", "p console"},
     0,
     {},
     {"probe: plain", "probe: warning: careful", "probe: error: broken 3", "no object", "error: no object either",
      "probe: two", "probe: lines", "probe: trailing  ", "probe: row: 1 2"}},
    {"get_formats",
     {"new p probe @flag 1", "get p flag", "get p level", "get p name", "get p count"},
     0,
     {"p flag 1", "p level 1.", "p name", "p count -1"},
     {}},
    {"unknown_message", {"new p probe", "p nonsense 1"}, 0, {}, {"probe: error: doesn't understand \"nonsense\""}},
    {"number_message", {"new p probe", "p 5"}, 0, {}, {"probe: error: doesn't understand \"int\""}},
    {"dump_in_key_order",
     {"dict d1 zeta 1 alpha \"two words\" quote \"a\\b\"", "dump d1"},
     0,
     {"{", "  \"zeta\": \"1\",", "  \"alpha\": \"two words\",", "  \"quote\": \"a\\\\b\"", "}"},
     {}},
    {"dump_empty", {"dict d2", "dump d2"}, 0, {"{}"}, {}},
    {"wait_with_nothing_running", {"wait 5"}, 0, {}, {}},
    {"queue_element_runs_at_wait", {"new p probe", "p later", "p later", "wait"}, 0, {"p 1: bang"}, {}},
    {"free_then_unknown", {"new p probe", "free p", "p fire"}, 2, {}, {"vorlo-host: cannot run \"p fire\": unknown command or instance p"}},
    {"unknown_command", {"frobnicate now"}, 2, {}, {"vorlo-host: cannot run \"frobnicate now\": unknown command or instance frobnicate"}},
    {"unknown_buffer", {"write nob /tmp/x.wav"}, 2, {}, {"vorlo-host: cannot run \"write nob /tmp/x.wav\": no buffer~ nob"}},
    {"unknown_attribute", {"new p probe", "get p nothing"}, 2, {}, {"vorlo-host: cannot run \"get p nothing\": p has no attribute nothing"}},
    {"duplicate_instance",
     {"new p probe", "new p probe"},
     2,
     {},
     {"vorlo-host: there is already an instance called p", "vorlo-host: cannot run \"new p probe\": cannot make p"}},
    {"bad_buffer_size", {"buffer~ bb -3"}, 2, {}, {"vorlo-host: cannot run \"buffer~ bb -3\": bad size or rate"}},
    {"deleted_buffer_is_gone", {"buffer~ bb 10", "delete bb", "print bb"}, 2, {},
     {"vorlo-host: cannot run \"print bb\": unknown buffer~ bb"}},
    // The second thread: a message there, an edit passed to the main thread, and what cannot run.
    {"scheduler_message_and_edit", {"new p probe", "buffer~ bb 10", "scheduler p later", "scheduler buffer~ bb 20 2", "wait", "print bb"},
     0, {"p 1: bang", "bb 20 2 44100."}, {}},
    {"scheduler_no_instance", {"scheduler nosuch x"}, 2, {},
     {"vorlo-host: cannot run \"scheduler nosuch x\": the second thread runs a message to an instance, buffer~, fill or delete"}},
    {"scheduler_edit_fails", {"scheduler delete nob", "wait"}, 2, {}, {"vorlo-host: cannot run \"delete nob\": unknown buffer~ nob"}},
    // What the second thread defers goes to the front of the main thread's queue, what it
    // defers low to the back; a hold lets every line there run before the main thread does.
    {"defer_on_the_main_thread_runs_at_once", {"new p probe", "p defer one two", "p say three"}, 0,
     {"p 0: one", "p 0: two", "p 0: three"}, {}},
    {"defer_low_on_the_main_thread_waits_for_a_pump", {"new p probe", "p defer_low one", "p say two", "wait"}, 0,
     {"p 0: two", "p 0: one"}, {}},
    {"scheduler_defers_come_out_reversed",
     {"new p probe", "scheduler p defer one two", "scheduler p defer three", "hold 300", "wait"}, 0,
     {"p 0: three", "p 0: two", "p 0: one"}, {}},
    {"scheduler_defer_lows_keep_their_order",
     {"new p probe", "scheduler p defer_low one two", "scheduler p defer_low three", "hold 300", "wait"}, 0,
     {"p 0: one", "p 0: two", "p 0: three"}, {}},
    {"scheduler_defer_goes_before_defer_low",
     {"new p probe", "scheduler p defer_low low", "scheduler p defer front", "hold 300", "wait"}, 0,
     {"p 0: front", "p 0: low"}, {}},
    {"hold_needs_a_time", {"hold"}, 2, {}, {"vorlo-host: cannot run \"hold\": usage: hold MS"}},
    {"stall_of_no_file", {"stall /nonexistent/a.wav 1"}, 2, {},
     {"vorlo-host: cannot run \"stall /nonexistent/a.wav 1\": cannot stall /nonexistent/a.wav: No such file or directory"}},
    {"stall_needs_a_time", {"stall /tmp -1"}, 2, {}, {"vorlo-host: cannot run \"stall /tmp -1\": usage: stall PATH SECONDS"}},
    {"searchpath_of_no_folder", {"searchpath /nonexistent"}, 2, {},
     {"vorlo-host: cannot run \"searchpath /nonexistent\": /nonexistent is no folder"}},
};

INSTANTIATE_TEST_SUITE_P(Host, ScriptLines, ::testing::ValuesIn(script_cases),
                         [](const ::testing::TestParamInfo<script_case> &info) { return info.param.name; });

// `cords` once-cords on outlet 0 of p that each make it say "again", then "p say go": every
// cord runs inside the outlet call of the one before, a chain as deep as there are cords.
std::vector<std::string> stacked_once(int cords)
{
    std::vector<std::string> lines = {"new p probe"};
    lines.insert(lines.end(), (size_t)cords, "once p 0 p say again");
    lines.push_back("p say go");
    return lines;
}

std::vector<std::string> said_again(int times)
{
    std::vector<std::string> out = {"p 0: go"};
    out.insert(out.end(), (size_t)times, "p 0: again");
    return out;
}

const char *const too_deep = "vorlo-host: cords chained deeper than 64 at p 0";

const script_case cord_cases[] = {
    {"cord_runs_inside_the_outlet_call",
     {"new p probe", "on p 2 p say after", "p fire"},
     0,
     {"p 2: bang", "p 0: after", "p 1: bang", "p 0: bang"},
     {}},
    {"cords_run_in_the_order_made_and_once_runs_once",
     {"new p probe", "new q probe", "on p 1 q say one", "once p 1 q say two", "on p 1 q say three", "p fire",
      "p fire"},
     0,
     {"p 2: bang", "p 1: bang", "q 0: one", "q 0: two", "q 0: three", "p 0: bang", "p 2: bang", "p 1: bang",
      "q 0: one", "q 0: three", "p 0: bang"},
     {}},
    {"on_alone_removes_the_cords_of_that_outlet",
     {"new p probe", "new q probe", "on p 1 q say a", "once p 1 q say b", "on p 2 q say c", "on p 1", "p fire"},
     0,
     {"p 2: bang", "q 0: c", "p 1: bang", "p 0: bang"},
     {}},
    {"chain_through_three_instances",
     {"new p probe", "new q probe", "new r probe", "on p 0 q say one", "on q 0 r say two", "p say go"},
     0,
     {"p 0: go", "q 0: one", "r 0: two"},
     {}},
    {"quoted_words_stay_one_atom",
     {"new p probe", "new q probe", "on p 0 q say \"two words\" 3 \"4\"", "p say go"},
     0,
     {"p 0: go", "q 0: \"two words\" 3 4"},
     {}},
    {"cord_from_a_queued_function",
     {"new p probe", "new q probe", "on p 1 q say queued", "p later", "wait"},
     0,
     {"p 1: bang", "q 0: queued"},
     {}},
    {"once_fires_once_inside_its_own_chain",
     {"new p probe", "once p 0 p say again", "p say go", "p say more"},
     0,
     {"p 0: go", "p 0: again", "p 0: more"},
     {}},
    {"cord_removing_the_cords_that_run",
     {"new p probe", "new q probe", "on p 0 on p 0", "on p 0 q say late", "p say go", "p say more"},
     0,
     {"p 0: go", "p 0: more"},
     {}},
    {"cord_made_by_a_cord_waits_for_the_next_call",
     {"new p probe", "new q probe", "once p 0 on p 0 q say added", "p say go", "p say more"},
     0,
     {"p 0: go", "p 0: more", "q 0: added"},
     {}},
    {"chain_of_64", stacked_once(64), 0, said_again(64), {}},
    {"chain_of_65_stops", stacked_once(65), 2, said_again(64), {too_deep}},
    {"endless_chain_stops", {"new p probe", "on p 0 p say again", "p say go"}, 2, said_again(64), {too_deep}},
    {"failing_cord_stops_the_script_and_its_other_cords",
     {"new p probe", "new q probe", "on p 0 frob", "on p 0 q say never", "p say go", "p say never"},
     2,
     {"p 0: go"},
     {"vorlo-host: cannot run \"frob\": unknown command or instance frob"}},
    {"wait_refused", {"new p probe", "on p 0 wait"}, 2, {}, {"vorlo-host: cannot run \"on p 0 wait\": a cord cannot run wait"}},
    {"idle_refused", {"new p probe", "once p 1 idle 5"}, 2, {}, {"vorlo-host: cannot run \"once p 1 idle 5\": a cord cannot run idle"}},
    {"no_such_outlet", {"new p probe", "on p 3 p fire"}, 2, {}, {"vorlo-host: cannot run \"on p 3 p fire\": p has no outlet 3"}},
    {"no_such_instance", {"on nobody 0 p fire"}, 2, {}, {"vorlo-host: cannot run \"on nobody 0 p fire\": unknown instance nobody"}},
    {"once_needs_a_line", {"new p probe", "once p 0"}, 2, {}, {"vorlo-host: cannot run \"once p 0\": usage: once ID OUTLET LINE..."}},
    {"free_of_the_firing_instance_refused",
     {"new p probe", "on p 0 free p", "p say go"},
     2,
     {"p 0: go"},
     {"vorlo-host: cannot run \"free p\": cannot free p while its outlet is firing"}},
    {"free_of_an_instance_up_the_chain_refused",
     {"new p probe", "new q probe", "on p 0 q say x", "on q 0 free p", "p say go"},
     2,
     {"p 0: go", "q 0: x"},
     {"vorlo-host: cannot run \"free p\": cannot free p while its outlet is firing"}},
    // The new q may take the freed one's memory: no cord of the old one may find it.
    {"cords_go_with_free",
     {"new p probe", "new q probe", "on q 0 p say stale", "free q", "new q probe", "q say fresh"},
     0,
     {"q 0: fresh"},
     {}},
    {"cord_frees_another_instance_and_its_cords",
     {"new p probe", "new q probe", "on q 0 p say stale", "on p 0 free q", "p say go", "new q probe", "q say fresh"},
     0,
     {"p 0: go", "q 0: fresh"},
     {}},
    {"outlets_after_a_failed_cord_run_no_cords",
     {"new p probe", "new q probe", "on p 2 frob", "on p 0 q say never", "p fire"},
     2,
     {"p 2: bang", "p 1: bang", "p 0: bang"},
     {"vorlo-host: cannot run \"frob\": unknown command or instance frob"}},
};

INSTANTIATE_TEST_SUITE_P(Cords, ScriptLines, ::testing::ValuesIn(cord_cases),
                         [](const ::testing::TestParamInfo<script_case> &info) { return info.param.name; });

// A pump outside any line is where a test waits for a load: a cord that fails there stops
// the script at the next line.
TEST(ScriptCords, FailureWhilePumpedStopsTheNextLine)
{
    probe_run run = probe_script({"new p probe", "new q probe", "on p 1 frob", "on p 1 q say never", "p later"});
    ASSERT_EQ(run.status, 0);
    host_capture(true);
    host_idle(1);
    EXPECT_EQ(host_take_outlets(), std::vector<std::string>{"p 1: bang"});
    EXPECT_EQ(host_run_line("p say after"), 2);
    EXPECT_EQ(host_run_line("p say again"), 0);
    EXPECT_EQ(host_take_console(),
              std::vector<std::string>{"vorlo-host: cannot run \"frob\": unknown command or instance frob"});
    host_take_outlets();
    host_capture(false);
    host_free_all();
}

struct atom_case {
    const char *word;
    long type;
    const char *shown;
};

TEST(ScriptAtoms, WordsBecomeAtomsAsInAPatcher)
{
    const atom_case cases[] = {
        {"1", A_LONG, "1"},       {"-2", A_LONG, "-2"},       {"+3", A_LONG, "3"},
        {"1.", A_FLOAT, "1."},    {".5", A_FLOAT, "0.5"},     {"-1e3", A_FLOAT, "-1000."},
        {"abc", A_SYM, "abc"},    {"\"12\"", A_SYM, "12"},    {"\"a b\"", A_SYM, "\"a b\""},
        {"-", A_SYM, "-"},        {"inf", A_SYM, "inf"},      {"1.2.3", A_SYM, "1.2.3"},
        {"e5", A_SYM, "e5"},      {"0x10", A_SYM, "0x10"},    {"\"\"", A_SYM, "\"\""},
    };
    for (const atom_case &c : cases) {
        std::vector<t_atom> atoms = host_parse_atoms(c.word);
        ASSERT_EQ(atoms.size(), 1u) << c.word;
        EXPECT_EQ(atoms[0].a_type, c.type) << c.word;
        EXPECT_EQ(host_format_atoms(1, atoms.data()), c.shown) << c.word;
    }
}

// The search path as Max keeps it: a name that is not absolute is found in the folders in
// the order they were added, and rewritten to the file's own name in the folder whose path
// id it gets; an absolute name is only looked at. path_toabsolutesystempath joins the two.
TEST(ScriptSearchPath, FindsNamesInTheFoldersInOrder)
{
    std::string a = fixture_dir_path("search_a"), b = fixture_dir_path("search_b");
    ASSERT_EQ(system(("rm -rf " + a + " " + b + " && mkdir -p " + a + "/sub " + b + "/sub").c_str()), 0);
    a = std::filesystem::canonical(a).string();
    b = std::filesystem::canonical(b).string();
    for (const std::string &file : {b + "/one.wav", a + "/sub/two.wav", b + "/sub/two.wav"})
        std::ofstream(file) << "x";
    ASSERT_EQ(probe_script({"searchpath " + a, "searchpath " + b}).status, 0);
    const std::pair<std::string, std::string> rows[] = {
        {"one.wav", b + "/one.wav"}, {"sub/two.wav", a + "/sub/two.wav"}, {b + "/sub/two.wav", b + "/sub/two.wav"},
        {"three.wav", ""},           {"sub", ""},                         {a + "/one.wav", ""}};
    for (const auto &row : rows) {
        char name[MAX_PATH_CHARS], path[MAX_PATH_CHARS];
        snprintf(name, sizeof name, "%s", row.first.c_str());
        short folder = 0;
        t_fourcc type = 1;
        bool found = locatefile_extended(name, &folder, &type, nullptr, 0) == 0;
        ASSERT_EQ(found, !row.second.empty()) << row.first;
        if (!found)
            continue;
        EXPECT_EQ(strchr(name, '/'), nullptr) << row.first;
        EXPECT_EQ(type, 0u);
        ASSERT_EQ(path_toabsolutesystempath(folder, name, path), MAX_ERR_NONE);
        EXPECT_EQ(std::string(path), row.second);
    }
    char unknown[MAX_PATH_CHARS];
    EXPECT_EQ(path_toabsolutesystempath(999, "one.wav", unknown), MAX_ERR_GENERIC);
}

TEST(ScriptBuffers, FillMakesSignalsThatTellWhereASampleCameFrom)
{
    probe_run run = probe_script({"buffer~ fr 3 2", "fill fr ramp"});
    ASSERT_EQ(run.status, 0);
    std::vector<float> samples;
    ASSERT_TRUE(host_buffer_read("fr", nullptr, nullptr, nullptr, &samples));
    EXPECT_EQ(samples, (std::vector<float>{0.0f, 1.0f, 0.001f, 1.001f, 0.002f, 1.002f}));

    run = probe_script({"fill fr value -0.25"});
    ASSERT_EQ(run.status, 0);
    host_buffer_read("fr", nullptr, nullptr, nullptr, &samples);
    EXPECT_EQ(samples, std::vector<float>(6, -0.25f));
}

std::string read_file(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

uint32_t le32(const std::string &b, size_t at)
{
    return (uint8_t)b[at] | (uint8_t)b[at + 1] << 8 | (uint8_t)b[at + 2] << 16 | (uint32_t)(uint8_t)b[at + 3] << 24;
}

uint16_t le16(const std::string &b, size_t at)
{
    return (uint16_t)((uint8_t)b[at] | (uint8_t)b[at + 1] << 8);
}

std::string fixture_path(const std::string &name)
{
    mkdir(VORLO_FIXTURE_DIR, 0755);
    return std::string(VORLO_FIXTURE_DIR) + "/" + name;
}

TEST(ScriptWav, WritesFloatSamplesForAnyChannelCount)
{
    for (long channels : {1L, 2L, 3L, 6L}) {
        std::string name = "w" + std::to_string(channels);
        std::string path = fixture_path("host_" + name + ".wav");
        probe_run run = probe_script({"buffer~ " + name + " 5 " + std::to_string(channels) + " 48000",
                                      "fill " + name + " ramp", "write " + name + " " + path});
        ASSERT_EQ(run.status, 0) << channels;
        std::string b = read_file(path);
        bool extensible = channels > 2;
        size_t fmt_size = extensible ? 40 : 18;
        size_t data_at = 12 + 8 + fmt_size + 12 + 8;
        ASSERT_EQ(b.size(), data_at + 5 * channels * 4) << channels;
        EXPECT_EQ(b.substr(0, 4), "RIFF");
        EXPECT_EQ(le32(b, 4), b.size() - 8);
        EXPECT_EQ(b.substr(8, 8), "WAVEfmt ");
        EXPECT_EQ(le32(b, 16), fmt_size);
        EXPECT_EQ(le16(b, 20), extensible ? 0xFFFE : 3) << channels;
        EXPECT_EQ(le16(b, 22), channels);
        EXPECT_EQ(le32(b, 24), 48000u);
        EXPECT_EQ(le32(b, 28), 48000u * channels * 4);
        EXPECT_EQ(le16(b, 32), channels * 4);
        EXPECT_EQ(le16(b, 34), 32);
        if (extensible) {
            EXPECT_EQ(le16(b, 44), 3) << "sub-format";
        }
        size_t fact_at = 20 + fmt_size;
        EXPECT_EQ(b.substr(fact_at, 4), "fact");
        EXPECT_EQ(le32(b, fact_at + 8), 5u);
        EXPECT_EQ(b.substr(data_at - 8, 4), "data");
        EXPECT_EQ(le32(b, data_at - 4), 5u * channels * 4);
        for (long f = 0; f < 5; f++)
            for (long c = 0; c < channels; c++) {
                float v;
                memcpy(&v, b.data() + data_at + (f * channels + c) * 4, 4);
                EXPECT_FLOAT_EQ(v, f * 0.001f + c) << "channels " << channels << " frame " << f << " channel " << c;
            }
    }
}

struct program_result {
    int status;
    std::string out;
    std::string err;
};

// Runs vorlo-host with these arguments and this standard input.
program_result run_program(const std::string &args, const std::string &input)
{
    std::string in = fixture_path("host_program.in"), out = fixture_path("host_program.out"),
                err = fixture_path("host_program.err");
    std::ofstream(in) << input;
    std::string command = std::string(VORLO_HOST_PROGRAM) + " " + args + " <" + in + " >" + out + " 2>" + err;
    int status = system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_file(out), read_file(err)};
}

TEST(ScriptProgram, RunsAScriptFromAFileOrTheStandardInput)
{
    std::string script = fixture_path("host_script.txt");
    std::ofstream(script) << "# a buffer\nbuffer~ s 10 2 48000\nprint s\n";
    program_result from_file = run_program(script, "");
    EXPECT_EQ(from_file.status, 0);
    EXPECT_EQ(from_file.out, "s 10 2 48000.\n");
    EXPECT_EQ(from_file.err, "");
    program_result from_stdin = run_program("-", "buffer~ s 1\nprint s\n");
    EXPECT_EQ(from_stdin.status, 0);
    EXPECT_EQ(from_stdin.out, "s 1 1 44100.\n");
    program_result implicit = run_program("", "buffer~ s 2\nprint s\n");
    EXPECT_EQ(implicit.out, "s 2 1 44100.\n");
}

TEST(ScriptProgram, StopsWithStatusTwoNamingTheLine)
{
    struct {
        const char *script;
        const char *message;
    } cases[] = {
        {"buffer~ s\nnonsense\nprint s\n", "cannot run \"nonsense\": unknown command or instance nonsense"},
        {"new v no_such_class~\n", "no external no_such_class~.mxl_"},
        {"print missing\n", "cannot run \"print missing\": unknown buffer~ missing"},
        {"\nx bang\n", "stopped at line 2"},
    };
    for (const auto &c : cases) {
        program_result r = run_program("-", c.script);
        EXPECT_EQ(r.status, 2) << c.script;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(r.out.find("s 1"), std::string::npos) << "ran past the failing line: " << r.out;
    }
}

TEST(ScriptProgram, HelpDescribesTheLoadShortcutAndCords)
{
    program_result r = run_program("--help", "");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("vorlo-host load [@ATTR VALUE...] FILE [-o OUT.wav] [--timeout SECONDS]"), std::string::npos);
    EXPECT_NE(r.out.find("on ID OUTLET LINE..."), std::string::npos);
    EXPECT_NE(r.out.find("once ID OUTLET LINE..."), std::string::npos);
    for (const char *line : {"hold MS", "stall PATH SECONDS", "scheduler LINE...", "delete NAME"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line;
}

// Cords answer the real external's bangs from the queue, while the program waits.
TEST(ScriptProgram, CordsLoadTheNextFileOrStopTheScript)
{
    std::string source = fixture_path("host_cord_source.wav");
    std::string make = "ffmpeg -v error -y -f lavfi -i sine=frequency=440:duration=0.05:sample_rate=22050 " + source;
    ASSERT_EQ(system(make.c_str()), 0);
    std::string start = "buffer~ snd\nnew v vorlo~ snd\n";
    std::string load_missing = "v replace /nx/missing.wav\nwait\nprint snd\n";
    struct {
        const char *name;
        std::string script;
        int status;
        std::string out;
        const char *err;
    } cases[] = {
        {"error_bang_loads_the_next", start + "once v 2 v replace " + source + "\n" + load_missing, 0,
         "v 2: bang\nv 0: 22050. 1 50.022676 0. unspecified pcm_s16le " + source + "\nv 1: bang\nsnd 1103 1 22050.\n", ""},
        {"failing_cord_stops_at_the_wait", start + "on v 2 frob\n" + load_missing, 2, "v 2: bang\n",
         "cannot run \"frob\": unknown command or instance frob\nvorlo-host: -: stopped at line 5\n"},
        {"wait_refused", start + "on v 1 wait\n" + load_missing, 2, "", "stopped at line 3\n"},
    };
    for (const auto &c : cases) {
        program_result r = run_program("-", c.script);
        EXPECT_EQ(r.status, c.status) << c.name << ": " << r.err;
        EXPECT_EQ(r.out, c.out) << c.name;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << c.name << ": " << r.err;
    }
}

// A `wait` that runs out before the load ends lets the script go on, and the exit status
// says so. The loader waits for the main thread to size the buffer~, so a wait of 0 s
// cannot see the load's end.
TEST(ScriptProgram, TimedOutWaitGoesOnAndExitsOne)
{
    std::string source = fixture_path("host_wait_source.wav");
    std::string make = "ffmpeg -v error -y -f lavfi -i sine=frequency=440:duration=0.05:sample_rate=22050 " + source;
    ASSERT_EQ(system(make.c_str()), 0);
    std::string load = "buffer~ snd\nnew v vorlo~ snd\nv replace " + source + "\n";
    std::string stalled = "buffer~ snd\nnew v vorlo~ snd\nstall " + source + " 3\nv replace " + source + "\n";
    struct {
        const char *name;
        std::string script;
        int status;
        std::string out;
    } cases[] = {
        {"timed_out", load + "wait 0\nwait\nprint snd\n", 1,
         "timeout\nv 0: 22050. 1 50.022676 0. unspecified pcm_s16le " + source + "\nv 1: bang\nsnd 1103 1 22050.\n"},
        {"in_time", load + "wait\nprint snd\n", 0,
         "v 0: 22050. 1 50.022676 0. unspecified pcm_s16le " + source + "\nv 1: bang\nsnd 1103 1 22050.\n"},
        // The object's reads of the file wait out the stall: a wait of 1 s cannot see the end.
        {"stalled", stalled + "wait 1\nwait\nprint snd\n", 1,
         "timeout\nv 0: 22050. 1 50.022676 0. unspecified pcm_s16le " + source + "\nv 1: bang\nsnd 1103 1 22050.\n"},
    };
    for (const auto &c : cases) {
        program_result r = run_program("-", c.script);
        EXPECT_EQ(r.status, c.status) << c.name << ": " << r.err;
        EXPECT_EQ(r.out, c.out) << c.name;
    }
}

// The shortcut drives the real external: it must load a file and write what it loaded.
TEST(ScriptProgram, LoadShortcutWritesTheBuffer)
{
    std::string source = fixture_path("host_load_source.wav");
    std::string out = fixture_path("host_load_out.wav");
    std::string make = "ffmpeg -v error -y -f lavfi -i sine=frequency=440:duration=0.05:sample_rate=22050 " + source;
    ASSERT_EQ(system(make.c_str()), 0);
    program_result r = run_program("load " + source + " -o " + out, "");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("v 1: bang"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("snd 1103 1 22050."), std::string::npos) << r.out;
    std::string b = read_file(out);
    ASSERT_GT(b.size(), 58u);
    EXPECT_EQ(le32(b, 24), 22050u);
    EXPECT_EQ(le32(b, b.size() - 1103 * 4 - 4), 1103u * 4);
}

} // namespace
