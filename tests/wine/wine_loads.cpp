// The Windows build under Wine: vorlo-host.exe runs one script that holds every case, with
// the external and the FFmpeg DLLs as the package zip holds them, and each buffer~ it wrote
// is compared with the decoding of the same FFmpeg build's ffmpeg.exe. The whole files and
// the seams are the in-process tests' own tables. scripts/test-windows.sh runs it with
//   VORLO_WINE_HOST                 the command that runs vorlo-host.exe (run-windows.sh)
//   VORLO_WINE_DIR                  a folder for the script and what the run writes
//   VORLO_REFERENCE_FFMPEG/FFPROBE  ffmpeg.exe and ffprobe.exe under Wine
#include "buffer_checks.h"
#include "fixtures.h"
#include "load_cases.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

namespace {

std::string wine_dir()
{
    const char *dir = getenv("VORLO_WINE_DIR");
    return dir ? dir : "";
}

// A Linux path as a patcher on Windows hands it over: drive letter, forward slashes, quoted.
std::string windows_path(const std::string &path) { return "\"Z:" + path + "\""; }

// What one case does in the script, on instance ID with buffer~ bID.
struct ScriptCase {
    std::string id;
    std::string buffer;      // the buffer~'s size words, "" for an empty one
    std::string attributes;  // box arguments
    std::vector<std::string> lines;  // after the instance is made, before the wait
};

std::vector<std::string> case_script(const ScriptCase &c)
{
    std::vector<std::string> lines = {"buffer~ b" + c.id + " " + c.buffer,
                                      "new " + c.id + " vorlo~ b" + c.id + " " + c.attributes};
    lines.insert(lines.end(), c.lines.begin(), c.lines.end());
    lines.push_back("wait 120");
    lines.push_back("write b" + c.id + " " + windows_path(wine_dir() + "/" + c.id + ".wav"));
    lines.push_back("free " + c.id);
    return lines;
}

// The paths of the path rows: non-ASCII names and blanks, in a folder of such a name.
std::string odd_folder() { return wine_dir() + "/Ordner é ü 音"; }
std::string odd_file() { return odd_folder() + "/Klang é ü 音 1.flac"; }
// A path of more than 260 characters, which opens on Windows only in its long form.
std::string long_folder() { return wine_dir() + "/" + std::string(120, 'a') + "/" + std::string(120, 'b'); }
std::string long_file() { return long_folder() + "/" + std::string(40, 'c') + ".flac"; }

const char *const kChainSecond = "s16.flac";

// The import row: f32.wav from 0.5 s, 0.5 s long, at +3 dB with fades of 100 and 200 ms,
// mixed at 0.25 s into a ramp.
const Shape kShape = {3, 100, 1, 200, 1, true};

std::vector<ScriptCase> other_cases()
{
    std::string f32 = windows_path(fixture("f32.wav"));
    std::string longer = windows_path(fixture("long_stereo.flac"));
    std::string s16 = windows_path(fixture(kChainSecond));
    return {
        {"import_shaped", "66150 2 44100", shape_attributes(kShape),
         {"fill bimport_shaped ramp", "import_shaped import " + f32 + " 0.5 sec 0.5 sec 0.25 sec"}},
        {"source", "", "", {"buffer~ src 1000 2 44100", "fill src ramp", "source importreplace buffer=src"}},
        {"metadata", "", "@metadatadict md",
         {"dict md", "metadata replace " + windows_path(fixture("tags.flac")), "wait 120",
          "dump md " + windows_path(wine_dir() + "/metadata.json")}},
        {"chain", "", "", {"once chain 1 chain replace " + s16, "chain replace " + f32}},
        {"stopped", "", "", {"stopped replace " + longer, "stopped break", "wait 120", "stopped replace " + s16}},
        {"freed", "", "", {"freed replace " + longer, "free freed", "new freed vorlo~ bfreed", "freed replace " + s16}},
        {"pieces_mp3", "", "@decoders 3 @debug 1", {"pieces_mp3 replace " + windows_path(fixture("pieces.mp3"))}},
        {"pieces_wav", "", "@decoders 3 @debug 1", {"pieces_wav replace " + windows_path(fixture("pieces.wav"))}},
        {"odd_path", "", "", {"odd_path replace " + windows_path(odd_file())}},
        {"long_path", "", "", {"long_path replace " + windows_path(long_file())}},
        {"missing", "", "", {"missing replace " + windows_path(wine_dir() + "/no such file é.flac")}},
        {"folder", "", "", {"folder replace " + windows_path(odd_folder())}},
        {"plain_folder", "", "", {"plain_folder replace " + windows_path(wine_dir())}},
        {"nul", "", "", {"nul replace NUL"}},
    };
}

std::string whole_id(size_t i) { return "w" + std::to_string(i); }
std::string seam_id(size_t i) { return "s" + std::to_string(i); }

// The outlet lines of the run, by instance, and its exit status.
struct WineRun {
    int status = -1;
    std::map<std::string, std::vector<std::string>> outlets;
    std::string log;
};

WineRun run_all()
{
    WineRun run;
    std::filesystem::create_directories(odd_folder());
    std::filesystem::create_directories(long_folder());
    for (const std::string &path : {odd_file(), long_file()})
        std::filesystem::copy_file(fixture("s16.flac"), path, std::filesystem::copy_options::overwrite_existing);
    std::vector<std::string> lines;
    auto add = [&lines](const ScriptCase &c) {
        for (const std::string &line : case_script(c))
            lines.push_back(line);
    };
    for (size_t i = 0; i < kWholeFiles.size(); i++)
        add({whole_id(i), "", "", {whole_id(i) + " replace " + windows_path(fixture(kWholeFiles[i]))}});
    for (size_t i = 0; i < kSeams.size(); i++)
        add({seam_id(i), "", "",
             {seam_id(i) + " " + seam_message(kSeams[i], windows_path(fixture(kSeams[i].fixture)))}});
    for (const ScriptCase &c : other_cases())
        add(c);
    std::string script = wine_dir() + "/cases.txt";
    std::ofstream out(script);
    for (const std::string &line : lines)
        out << line << "\n";
    out.close();
    std::string log = wine_dir() + "/console.txt";
    std::string cmd = std::string(getenv("VORLO_WINE_HOST")) + " \"Z:" + script + "\" 2>\"" + log + "\"";
    FILE *p = popen(cmd.c_str(), "r");
    char text[4096];
    while (p && fgets(text, sizeof text, p)) {
        std::string line(text);
        line.erase(line.find_last_not_of("\r\n") + 1);
        run.outlets[line.substr(0, line.find(' '))].push_back(line);
    }
    run.status = p ? pclose(p) : -1;
    std::ifstream in(log);
    run.log.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return run;
}

const WineRun &wine_run()
{
    static WineRun run = run_all();
    return run;
}

// A 32-bit float WAV file as the host writes it, as a buffer~'s contents.
Decoded read_wav(const std::string &path)
{
    Decoded d;
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto u32 = [&bytes](size_t at) { uint32_t v; memcpy(&v, bytes.data() + at, 4); return v; };
    for (size_t at = 12; at + 8 <= bytes.size(); at += 8 + u32(at + 4)) {
        std::string id = bytes.substr(at, 4);
        if (id == "fmt ") {
            d.channels = (unsigned char)bytes[at + 10] | (unsigned char)bytes[at + 11] << 8;
            d.rate = (int)u32(at + 12);
        } else if (id == "data") {
            d.samples.resize(std::min<size_t>(u32(at + 4), bytes.size() - at - 8) / 4);
            memcpy(d.samples.data(), bytes.data() + at + 8, d.samples.size() * 4);
        }
    }
    return d;
}

Decoded buffer_of(const std::string &id) { return read_wav(wine_dir() + "/" + id + ".wav"); }

const std::vector<std::string> &outlets_of(const std::string &id)
{
    static const std::vector<std::string> none;
    auto it = wine_run().outlets.find(id);
    return it == wine_run().outlets.end() ? none : it->second;
}

long count(const std::vector<std::string> &lines, const std::string &line)
{
    return std::count(lines.begin(), lines.end(), line);
}

// The load ended with one done bang and no error bang.
void expect_done(const std::string &id, long bangs = 1)
{
    EXPECT_EQ(count(outlets_of(id), id + " 1: bang"), bangs) << joined(outlets_of(id)) << wine_run().log;
    EXPECT_EQ(count(outlets_of(id), id + " 2: bang"), 0) << joined(outlets_of(id));
}

TEST(WineRun, EndsWithoutAFault)
{
    EXPECT_EQ(wine_run().status, 0) << wine_run().log;
}

class WholeFiles : public ::testing::TestWithParam<size_t> {};

TEST_P(WholeFiles, BufferIsTheDecoding)
{
    std::string id = whole_id(GetParam());
    expect_done(id);
    expect_whole(buffer_of(id), reference_of(fixture(kWholeFiles[GetParam()])), kExact);
}

INSTANTIATE_TEST_SUITE_P(Files, WholeFiles, ::testing::Range<size_t>(0, kWholeFiles.size()),
                         [](const ::testing::TestParamInfo<size_t> &info) {
                             return case_name(kWholeFiles[info.param]);
                         });

class Seams : public ::testing::TestWithParam<size_t> {};

TEST_P(Seams, LoadEqualsThePlainDecoding)
{
    const SeamCase &c = kSeams[GetParam()];
    std::string id = seam_id(GetParam());
    expect_done(id);
    const Decoded &reference = reference_of(fixture(c.fixture));
    Decoded buffer = buffer_of(id);
    float tolerance = tolerance_after_seek(reference.codec);
    if (c.length <= 0) {
        expect_whole(buffer, reference, tolerance);
        return;
    }
    Span span = section_of(reference, c.start, c.length);
    ASSERT_EQ(buffer.rate, reference.rate);
    ASSERT_EQ(buffer.frames(), span.frames);
    expect_span(buffer, reference, span, tolerance);
}

INSTANTIATE_TEST_SUITE_P(Starts, Seams, ::testing::Range<size_t>(0, kSeams.size()),
                         [](const ::testing::TestParamInfo<size_t> &info) {
                             return seam_name(::testing::TestParamInfo<SeamCase>(kSeams[info.param], info.index));
                         });

// The ramp that `fill NAME ramp` writes.
Decoded ramp(long frames, int channels, int rate)
{
    Decoded d;
    d.rate = rate;
    d.channels = channels;
    for (long f = 0; f < frames; f++)
        for (int c = 0; c < channels; c++)
            d.samples.push_back((float)(f * 0.001 + c));
    return d;
}

TEST(Rows, ImportMixedWithGainAndFades)
{
    expect_done("import_shaped");
    const Decoded &source = reference_of(fixture("f32.wav"));
    ASSERT_EQ(source.rate, 44100);
    expect_shaped(buffer_of("import_shaped"), ramp(66150, 2, 44100), source,
                  {lround(0.5 * 44100), lround(0.25 * 44100), 0.5, each_to_itself(2), kShape});
}

TEST(Rows, BufferSource)
{
    expect_done("source");
    expect_whole(buffer_of("source"), ramp(1000, 2, 44100), kExact);
}

TEST(Rows, Metadata)
{
    expect_done("metadata");
    std::ifstream in(wine_dir() + "/metadata.json");
    std::string json((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(json.find("Flac title"), std::string::npos) << json;
    EXPECT_NE(json.find("2024"), std::string::npos) << json;
}

TEST(Rows, ChainOfLoadsFromTheDoneBang)
{
    expect_done("chain", 2);
    expect_whole(buffer_of("chain"), reference_of(fixture(kChainSecond)), kExact);
}

// A load stopped by break or by the instance's end sends nothing more; the next load runs.
TEST(Rows, BreakAndFreeDuringALoad)
{
    for (const char *id : {"stopped", "freed"}) {
        SCOPED_TRACE(id);
        expect_done(id);
        expect_whole(buffer_of(id), reference_of(fixture(kChainSecond)), kExact);
    }
}

// A long file decoded in three pieces at once, each on a thread of its own, holds the
// decoding of the same build's ffmpeg.exe.
TEST(Rows, DecodedInPieces)
{
    const std::string &log = wine_run().log, told = "vorlo~: decoding in 3 pieces at once";
    long times = 0;
    for (size_t at = log.find(told); at != std::string::npos; at = log.find(told, at + 1))
        times++;
    EXPECT_EQ(times, 2) << log;
    for (const char *id : {"pieces_mp3", "pieces_wav"}) {
        SCOPED_TRACE(id);
        expect_done(id);
        expect_whole(buffer_of(id), reference_of(fixture(std::string("pieces.") + (id + 7))), kExact);
    }
}

// The file's name as the properties list gives it, after the folder of the run.
TEST(Rows, NamesOfEveryKind)
{
    const std::pair<const char *, std::string> rows[] = {
        {"odd_path", "Ordner é ü 音/Klang é ü 音 1.flac"},
        {"long_path", long_file().substr(wine_dir().size() + 1)},
    };
    for (const auto &[id, name] : rows) {
        SCOPED_TRACE(id);
        expect_done(id);
        expect_whole(buffer_of(id), reference_of(fixture("s16.flac")), kExact);
        const std::vector<std::string> &lines = outlets_of(id);
        ASSERT_FALSE(lines.empty());
        EXPECT_NE(lines[0].find(name), std::string::npos) << lines[0];
    }
}

// The name that the external hands to the system for a path, and a file renamed and deleted
// while it is open: tests/wine/open_file_check.cpp.
TEST(OpenFile, NamesAndSharing)
{
    std::string folder = wine_dir() + "/open-file";
    std::filesystem::create_directories(folder);
    std::string cmd = std::string(getenv("VORLO_OPEN_FILE_CHECK")) + " Z:" + folder + " 2>&1";
    FILE *p = popen(cmd.c_str(), "r");
    std::string output;
    char text[4096];
    while (p && fgets(text, sizeof text, p))
        output += text;
    EXPECT_EQ(p ? pclose(p) : -1, 0) << output;
}

// The console line after the one that names the path that could not be opened.
std::string reason_for(const std::string &path)
{
    std::istringstream lines(wine_run().log);
    std::string line;
    while (std::getline(lines, line))
        if (line == "vorlo~: error: Error opening file.-> " + path && std::getline(lines, line))
            return line;
    return "";
}

// What is no file: an error bang with the reason that the Linux build gives, no done bang,
// the buffer~ as it was.
struct NoFile {
    const char *id;
    std::string path;  // as the object names it: the native form
    const char *reason;
};

TEST(Rows, PathsThatAreNoFile)
{
    auto native = [](std::string path) {
        std::replace(path.begin(), path.end(), '/', '\\');
        return "Z:" + path;
    };
    const NoFile rows[] = {
        {"missing", native(wine_dir() + "/no such file é.flac"), "No such file or directory"},
        {"folder", native(odd_folder()), "it is a folder, not a file"},
        {"plain_folder", native(wine_dir()), "it is a folder, not a file"},
        {"nul", "NUL", "it is a device, not a file"},
    };
    for (const NoFile &row : rows) {
        std::string id = row.id;
        SCOPED_TRACE(id);
        EXPECT_EQ(count(outlets_of(id), id + " 2: bang"), 1) << joined(outlets_of(id)) << wine_run().log;
        EXPECT_EQ(count(outlets_of(id), id + " 1: bang"), 0);
        EXPECT_EQ(buffer_of(id).samples.size(), 0u);
        EXPECT_EQ(reason_for(row.path), std::string("vorlo~: error: ") + row.reason);
    }
}

} // namespace
