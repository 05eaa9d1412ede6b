// vorlo-host load as a user runs it: exit status, the files it leaves, what it prints.
#include "fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>

namespace {

struct program_result {
    int status;
    std::string out;
    std::string err;
};

std::string read_file(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The folder that the program runs in, emptied, with "out.wav" holding a file of the user's.
std::string fresh_folder()
{
    std::string dir = fixture_dir_path("load_cwd");
    std::string clear = "rm -rf " + dir + " && mkdir -p " + dir;
    EXPECT_EQ(system(clear.c_str()), 0);
    std::ofstream(dir + "/out.wav") << "the user's own file";
    return dir;
}

std::vector<std::string> files_in(const std::string &dir)
{
    std::vector<std::string> names;
    if (DIR *d = opendir(dir.c_str())) {
        while (dirent *e = readdir(d))
            if (e->d_name[0] != '.')
                names.push_back(e->d_name);
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

program_result run_in(const std::string &dir, const std::string &command)
{
    std::string out = fixture_dir_path("load.out"), err = fixture_dir_path("load.err");
    std::string line = "cd " + dir + " && " + command + " </dev/null >" + out + " 2>" + err;
    int status = system(line.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_file(out), read_file(err)};
}

std::string replaced(std::string text, const std::string &word, const std::string &by)
{
    for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + by.size()))
        text.replace(at, word.size(), by);
    return text;
}

// Files that a user might hand the tool by mistake.
struct bad_inputs {
    std::string empty = fixture_dir_path("load_empty.wav");
    std::string text = fixture_dir_path("load_text.wav");
    std::string folder = fixture_dir_path("load_folder.wav");
    bad_inputs()
    {
        std::ofstream(empty).close();
        std::ofstream(text) << "this is not audio, only named so\n";
        mkdir(folder.c_str(), 0755);
    }
};

enum { NOT_WRITTEN = -1, WHOLE = 0, ANY_LENGTH = -2 };

struct load_case {
    const char *name;
    const char *args;      // SRC, EMPTY, TEXT and FOLDER stand for the files
    int status;
    const char *out_has;   // nullptr: the standard output stays empty
    const char *err_has;
    const char *written;   // the file written, or "" when nothing is
    long frames;           // what it holds: WHOLE, the first N frames, ANY_LENGTH, NOT_WRITTEN
    const char *search_path = nullptr;   // VORLO_SEARCH_PATH, with SRCDIR for the source's folder
};

class LoadCommand : public ::testing::TestWithParam<load_case> {};

void expect_written(const std::string &path, const std::string &source, long frames)
{
    Decoded written = reference_decode(path);
    Decoded expected = reference_decode(source);
    ASSERT_GT(written.frames(), 0) << path;
    if (frames == ANY_LENGTH)
        return;
    if (frames != WHOLE)
        expected.samples.resize((size_t)(frames * expected.channels));
    EXPECT_EQ(written.channels, expected.channels);
    EXPECT_EQ(written.rate, expected.rate);
    EXPECT_EQ(written.frames(), expected.frames());
    EXPECT_EQ(first_difference(written.samples, expected.samples, 0, 0), "");
}

TEST_P(LoadCommand, ExitsWritesAndPrintsAsItShould)
{
    const load_case &c = GetParam();
    static bad_inputs bad;
    std::string source = fixture("s16.wav");
    std::string args = replaced(replaced(replaced(replaced(c.args, "SRC", source), "EMPTY", bad.empty), "TEXT", bad.text),
                                "FOLDER", bad.folder);
    std::string dir = fresh_folder();
    std::string env;
    if (c.search_path)
        env = "VORLO_SEARCH_PATH='" +
              replaced(replaced(c.search_path, "SRCDIR", source.substr(0, source.rfind('/'))), "FOLDER", bad.folder) + "' ";
    program_result r = run_in(dir, env + VORLO_HOST_PROGRAM + " load " + args);

    EXPECT_EQ(r.status, c.status) << r.err;
    if (c.out_has) {
        EXPECT_NE(r.out.find(c.out_has), std::string::npos) << r.out;
    } else {
        EXPECT_EQ(r.out, "");
    }
    EXPECT_NE(r.err.find(c.err_has), std::string::npos) << r.err;
    std::vector<std::string> expected_files = {"out.wav"};
    if (*c.written && std::string(c.written) != "out.wav")
        expected_files.push_back(c.written);
    std::sort(expected_files.begin(), expected_files.end());
    EXPECT_EQ(files_in(dir), expected_files);
    if (std::string(c.written) != "out.wav") {
        EXPECT_EQ(read_file(dir + "/out.wav"), "the user's own file");
    }
    if (*c.written)
        expect_written(dir + "/" + c.written, source, c.frames);
}

const char *const usage_line = "vorlo-host load [@ATTR VALUE...] FILE [-o OUT.wav] [--timeout SECONDS]";

const load_case load_cases[] = {
    {"done_writes_out", "SRC -o out.wav", 0, "v 1: bang", "88200 frames, 2 channels, 44100 Hz, 2.000 s of audio, loaded in", "out.wav", WHOLE},
    {"summary_names_the_file", "SRC -o out.wav", 0, "snd 88200 2 44100.", "real time); wrote out.wav\n", "out.wav", WHOLE},
    {"default_name_in_the_current_folder", "SRC", 0, "v 1: bang", "wrote s16.vorlo.wav", "s16.vorlo.wav", WHOLE},
    {"options_after_the_message_words", "SRC importreplace 0 sec 100 ms -o out.wav --timeout 600", 0,
     "v 0: 44100. 2 100. 0.", "4410 frames", "out.wav", 4410},
    {"attribute_before_the_file", "@resample 7 SRC -o out.wav", 0, "snd 96000 2 48000.", "48000 Hz", "out.wav", ANY_LENGTH},
    {"attribute_stored_otherwise_warns", "@resample 48000 SRC -o out.wav", 0, "v 1: bang",
     "vorlo-host: warning: @resample 48000 is stored as -128", "out.wav", WHOLE},
    {"info_writes_nothing", "SRC info -o out.wav", 0, "v 0: 44100. 2 2000. 0.", "info writes no WAV file", "", NOT_WRITTEN},
    {"missing_file", "/nonexistent/x.wav -o out.wav", 1, "v 2: bang", "error bang", "", NOT_WRITTEN},
    {"empty_file", "EMPTY -o out.wav", 1, "v 2: bang", "nothing written", "", NOT_WRITTEN},
    {"text_named_wav", "TEXT -o out.wav", 1, "v 2: bang", "nothing written", "", NOT_WRITTEN},
    {"folder", "FOLDER -o out.wav", 1, "v 2: bang", "nothing written", "", NOT_WRITTEN},
    {"missing_file_default_name", "/nonexistent/out.flac", 1, "v 2: bang", "nothing written", "", NOT_WRITTEN},
    {"refused_request", "SRC import 0 sec -o out.wav", 1, nullptr, "You can not import into a buffer with size 0", "",
     NOT_WRITTEN},
    {"refusal_said_in_the_summary", "SRC importreplace 0 seconds -o out.wav", 1, nullptr,
     "the request was refused (no load ran", "", NOT_WRITTEN},
    {"unknown_option_after_the_file", "SRC --bogus -o out.wav", 2, nullptr, "unknown option --bogus\nusage:", "",
     NOT_WRITTEN},
    {"unknown_option_before_the_file", "-x SRC", 2, nullptr, "unknown option -x", "", NOT_WRITTEN},
    {"output_without_a_name", "SRC -o", 2, nullptr, "-o needs a value", "", NOT_WRITTEN},
    {"timeout_of_zero", "SRC --timeout 0", 2, nullptr, "--timeout needs a number of seconds above 0", "", NOT_WRITTEN},
    {"timeout_not_a_number", "SRC --timeout soon", 2, nullptr, "--timeout needs a number", "", NOT_WRITTEN},
    {"attribute_after_the_file", "SRC -o out.wav @debug 1", 2, nullptr, "attributes go before FILE: @debug", "",
     NOT_WRITTEN},
    {"attribute_without_a_value", "@debug", 2, nullptr, "@debug needs a value", "", NOT_WRITTEN},
    {"unknown_attribute", "@loudness 1 SRC", 2, nullptr, "vorlo~ has no attribute loudness", "", NOT_WRITTEN},
    {"no_file", "", 2, nullptr, "no FILE given", "", NOT_WRITTEN},
    {"help_anywhere_does_nothing_else", "SRC -o out.wav --help", 0, usage_line, "", "", NOT_WRITTEN},
    {"help_before_a_bad_option", "--help --bogus", 0, usage_line, "", "", NOT_WRITTEN},
    // A name that is not absolute is looked for in the folders of VORLO_SEARCH_PATH, in order.
    {"name_found_in_the_search_path", "s16.wav -o out.wav", 0, "v 0: 44100. 2 2000. 0. unspecified pcm_s16le s16.wav",
     "wrote out.wav", "out.wav", WHOLE, "FOLDER::SRCDIR"},
    {"name_not_in_the_search_path", "s16.wav -o out.wav", 1, "v 2: bang",
     "error: searched for s16.wav: it is not in the search path", "", NOT_WRITTEN, "FOLDER"},
    {"absolute_path_not_searched", "/nonexistent/s16.wav -o out.wav", 1, "v 2: bang",
     "vorlo~: error: No such file or directory\nvorlo-host:", "", NOT_WRITTEN, "SRCDIR"},
    {"search_path_not_a_folder", "s16.wav", 2, nullptr, "VORLO_SEARCH_PATH: /nonexistent is no folder", "", NOT_WRITTEN,
     "SRCDIR:/nonexistent"},
};

INSTANTIATE_TEST_SUITE_P(Program, LoadCommand, ::testing::ValuesIn(load_cases),
                         [](const ::testing::TestParamInfo<load_case> &info) { return info.param.name; });

TEST(LoadCommandHelp, PrintsOnlyTheUsage)
{
    std::string dir = fresh_folder();
    program_result r = run_in(dir, std::string(VORLO_HOST_PROGRAM) + " load x.wav --help");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.find("usage: vorlo-host"), 0u) << r.out;
}

// A pipe whose writer waits 3 s before it sends the file keeps the load running well past
// the time-out and past the first second, on a terminal made by script(1).
TEST(LoadCommandTimeout, StopsWritesNothingAndShowsProgressOnATerminal)
{
    if (system("command -v script >/dev/null") != 0)
        GTEST_SKIP() << "no script(1) to make a terminal";
    std::string fifo = fixture_dir_path("load_slow.fifo");
    std::string source = fixture("s16.wav");
    std::string dir = fresh_folder();
    std::string make = "rm -f " + fifo + " && mkfifo " + fifo;
    ASSERT_EQ(system(make.c_str()), 0);
    std::string writer = "( (sleep 3; cat " + source + ") >" + fifo + " & ) && ";
    std::string load = std::string(VORLO_HOST_PROGRAM) + " load " + fifo + " -o out.wav --timeout 1.5";
    program_result r = run_in(dir, writer + "script -qec '" + load + "' /dev/null");
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("\rvorlo-host: loading " + fifo + ": 1."), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\r\033[Kvorlo-host: no end after 1.5"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("the load was stopped; nothing written"), std::string::npos) << r.out;
    EXPECT_EQ(files_in(dir), std::vector<std::string>{"out.wav"});
    EXPECT_EQ(read_file(dir + "/out.wav"), "the user's own file");
}

// The main job's script hands every word to the program; --help is its own, and builds nothing.
TEST(RunScript, HelpAnywherePrintsItsUsage)
{
    std::string dir = fresh_folder();
    for (const char *args : {"--help", "x.wav importreplace 0 sec --help"}) {
        program_result r = run_in(dir, std::string(VORLO_SOURCE_DIR) + "/scripts/run.sh " + args);
        EXPECT_EQ(r.status, 0) << args;
        EXPECT_NE(r.out.find("scripts/run.sh [@ATTR VALUE...] FILE [-o OUT.wav]"), std::string::npos) << r.out;
        EXPECT_EQ(files_in(dir), std::vector<std::string>{"out.wav"});
    }
}

} // namespace

// Threads that cannot start: a stack limit far beyond memory makes every thread of the
// default size fail to start (the host gives its own threads a size of their own). The
// FIFO's reader then ends the load with an error, the page-faulting helper is done without,
// and nothing escapes to the host. ThreadSanitizer cannot run under such a limit.
TEST(LoadCommandThreads, ThreadsThatCannotStartEndNoLoadBadly)
{
#if defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "ThreadSanitizer maps memory that such a stack limit forbids";
#endif
    std::string fifo = fixture_dir_path("nothread.fifo");
    std::string make = "rm -f " + fifo + " && mkfifo " + fifo;
    ASSERT_EQ(system(make.c_str()), 0);
    struct {
        std::string writer, source, status_line;
        int status;
    } cases[] = {
        // The writer gives up, since no reader may ever open the FIFO.
        {"( timeout 10 sh -c 'cat " + fixture("s16.wav") + " >" + fifo + "' >/dev/null 2>&1 & ) && ", fifo,
         "could not start a thread to read the FIFO", 1},
        {"", fixture("long_stereo.flac"), "snd 2205000 2 44100.", 0},
    };
    for (const auto &c : cases) {
        std::string dir = fresh_folder();
        program_result r = run_in(dir, c.writer + "prlimit --stack=70368744177664 " + VORLO_HOST_PROGRAM + " load " +
                                           c.source + " -o out.wav");
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE((r.out + r.err).find(c.status_line), std::string::npos) << r.out << r.err;
    }
}
