// The metadata dictionary: what a file load writes into the dictionary that metadatadict
// names, compared key by key and in order with what ffprobe reads from the same file, and
// the loads that leave the dictionary as it was.
#include "fixtures.h"
#include "headless_host.h"

#include <gtest/gtest.h>

#include <stdio.h>

#include <algorithm>
#include <sstream>

namespace {

// A dictionary entry as the host's dump shows it: a string in quotes, a long as its digits.
// The fixtures' tags hold nothing that JSON escapes.
std::string entry(const std::string &key, const std::string &value, bool text)
{
    return "\"" + key + "\": " + (text ? "\"" + value + "\"" : value);
}

// A dump's lines, one entry each, without the braces and the commas between entries.
std::vector<std::string> entries_of(const std::vector<std::string> &dump)
{
    std::vector<std::string> entries;
    for (std::string line : dump) {
        if (line.compare(0, 2, "  ") != 0)
            continue;
        if (line.back() == ',')
            line.pop_back();
        entries.push_back(line.substr(2));
    }
    return entries;
}

std::vector<std::string> dictionary(const std::string &name)
{
    std::string json;
    EXPECT_TRUE(host_dictionary_json(name, &json)) << "no dictionary " << name;
    std::vector<std::string> lines;
    std::istringstream in(json);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return entries_of(lines);
}

// Key by key, in order; a failure names the entry's place.
void expect_entries(const std::vector<std::string> &actual, const std::vector<std::string> &expected)
{
    for (size_t i = 0; i < std::max(actual.size(), expected.size()); i++)
        EXPECT_EQ(i < actual.size() ? actual[i] : "nothing", i < expected.size() ? expected[i] : "nothing")
            << "entry " << i;
}

// A file as ffprobe reads it: each stream's type, channels, rate and tags, and the file's
// tags, in FFmpeg's order.
typedef std::vector<std::pair<std::string, std::string>> Tags;
struct ProbedStream {
    std::string type;
    std::string channels = "0";
    std::string rate = "0";
    Tags tags;
};
struct Probed {
    std::vector<ProbedStream> streams;
    Tags tags;
};

Probed probe(const std::string &path)
{
    std::string cmd = reference_ffprobe() +
                      " -v error -show_entries stream=codec_type,channels,sample_rate:stream_tags:format_tags "
                      "-of default '" + path + "'";
    Probed probed;
    FILE *p = popen(cmd.c_str(), "r");
    if (!p) {
        ADD_FAILURE() << "cannot run " << cmd;
        return probed;
    }
    std::string output;
    char chunk[4096];
    for (size_t n; (n = fread(chunk, 1, sizeof chunk, p)) > 0;)
        output.append(chunk, n);
    EXPECT_EQ(pclose(p), 0) << cmd;
    std::istringstream lines(output);
    Tags *tags = nullptr;
    for (std::string line; std::getline(lines, line);) {
        size_t eq = line.find('=');
        std::string name = line.substr(0, eq);
        std::string value = eq == std::string::npos ? "" : line.substr(eq + 1);
        if (line == "[STREAM]") {
            probed.streams.emplace_back();
            tags = &probed.streams.back().tags;
        } else if (line == "[FORMAT]") {
            tags = &probed.tags;
        } else if (name.compare(0, 4, "TAG:") == 0 && tags) {
            tags->emplace_back(name.substr(4), value);
        } else if (name == "codec_type") {
            probed.streams.back().type = value;
        } else if (name == "channels") {
            probed.streams.back().channels = value;
        } else if (name == "sample_rate") {
            probed.streams.back().rate = value;
        }
    }
    return probed;
}

// The export of a file: FFmpeg's own choice of audio stream, each stream's keys, the file's
// tags under their own keys. A stream tag whose key would pass 511 characters is left out.
std::vector<std::string> expected_export(const Probed &file, long defaultStream)
{
    std::vector<std::string> entries = {entry("DEFAULT_AUDIO_STREAM", std::to_string(defaultStream), false)};
    for (size_t i = 0; i < file.streams.size(); i++) {
        const ProbedStream &s = file.streams[i];
        std::string prefix = "STREAM_" + std::to_string(i) + "_";
        entries.push_back(entry(prefix + "TYPE", s.type, true));
        entries.push_back(entry(prefix + "CH", s.channels, false));
        entries.push_back(entry(prefix + "SR", s.rate, false));
        for (const auto &tag : s.tags)
            if ((prefix + "META_" + tag.first).size() <= 511)
                entries.push_back(entry(prefix + "META_" + tag.first, tag.second, true));
    }
    for (const auto &tag : file.tags)
        entries.push_back(entry(tag.first, tag.second, true));
    return entries;
}

std::string with_path(std::string text, const std::string &path)
{
    size_t at = text.find("PATH");
    return at == std::string::npos ? text : text.replace(at, 4, path);
}

const std::vector<std::string> kStale = {entry("kept", "as it was", true)};

// Registers dictionary `meta` holding only the stale entry, which every export clears.
void make_stale_dictionary()
{
    ASSERT_EQ(host_run_line("dict meta kept \"as it was\""), 0);
}

struct ExportCase {
    const char *name;
    const char *fixture;
    const char *attributes;  // besides @metadatadict
    const char *message;     // PATH stands for the fixture's path
    long defaultStream;      // the audio stream FFmpeg chooses by itself
    long channels;           // of the buffer~ after the load
    std::vector<std::string> console;
    size_t keys = 0;         // the entries the dictionary takes, the first of the file's; 0: all
};

const ExportCase kExports[] = {
    {"video_and_two_audio_streams", "tags.mkv", "", "replace PATH", 2, 1, {}},
    {"stream_nb_chooses_another", "tags.mkv", "@stream_nb 1", "replace PATH", 2, 2, {}},
    {"importreplace", "tags.mkv", "@stream_nb 1", "importreplace PATH 0.2 sec 0.5 sec", 2, 2, {}},
    {"import", "tags.flac", "", "import PATH 0 sec 0.5 sec", 0, 3, {}},
    {"flac_comments", "tags.flac", "", "replace PATH", 0, 1, {}},
    {"id3_tags", "tags.mp3", "", "replace PATH", 0, 1, {}},
    {"ogg_stream_comments", "tags.ogg", "", "replace PATH", 0, 1, {}},
    {"no_tags", "notags.wav", "", "replace PATH", 0, 1, {}},
    {"long_keys", "longkeys.mkv", "", "replace PATH", 0, 1,
     {"vorlo~: warning: stream 0: a tag key of 498 characters is too long for the metadata dictionary, the tag "
      "is skipped"}},
    // Each key is a symbol of the host's for good: a file cannot fill the symbol table. 3005
    // keys: the default stream, three of the stream, 3000 tags and the encoder's.
    {"many_tags", "manytags.flac", "", "replace PATH", 0, 1,
     {"vorlo~: warning: the file holds 1981 more keys than the metadata dictionary takes (1024): they are not "
      "exported"},
     1024},
};

void PrintTo(const ExportCase &c, std::ostream *out)
{
    *out << c.name;
}

class Export : public ::testing::TestWithParam<ExportCase> {};

// Every file load replaces the dictionary's contents with the file's description, says
// nothing without debug, and releases the dictionary.
TEST_P(Export, DictionaryDescribesTheFile)
{
    const ExportCase &c = GetParam();
    std::string path = fixture(c.fixture);
    ASSERT_FALSE(path.empty());
    make_stale_dictionary();
    {
        HostSession s(std::string("@metadatadict meta ") + c.attributes, 44100, 3, 44100);
        long alive = host_alive_count();
        HostSession::Result r = s.run(with_path(c.message, path));
        s.send("break");  // joins the loader thread, which the host counts until then
        EXPECT_EQ(host_alive_count(), alive) << "the load left a host object alive";
        EXPECT_TRUE(has_line(r.outlets, s.id + " 1: bang")) << joined(r.outlets) << joined(r.console);
        EXPECT_EQ(r.console, c.console);
        EXPECT_EQ(r.buffer.channels, c.channels);
        std::vector<std::string> expected = expected_export(probe(path), c.defaultStream);
        if (c.keys)
            expected.resize(c.keys);
        expect_entries(dictionary("meta"), expected);
    }
    EXPECT_EQ(host_alive_count(), 0);
}

INSTANTIATE_TEST_SUITE_P(Loads, Export, ::testing::ValuesIn(kExports),
                         [](const ::testing::TestParamInfo<ExportCase> &info) { return std::string(info.param.name); });

// The fixtures hold what the cases above rely on.
TEST(ExportFixtures, HoldTheTagsTheyAreMadeWith)
{
    Probed tagged = probe(fixture("tags.mkv"));
    ASSERT_EQ(tagged.streams.size(), 3u);
    EXPECT_EQ(tagged.streams[0].type, "video");
    EXPECT_EQ(tagged.streams[1].tags.front(), Tags::value_type("language", "ger"));
    EXPECT_EQ(tagged.tags.front(), Tags::value_type("title", "Vorlo test"));
    Probed bare = probe(fixture("notags.wav"));
    EXPECT_EQ(expected_export(bare, 0).size(), 4u) << "the file without tags has tags";
    Probed longKeys = probe(fixture("longkeys.mkv"));
    ASSERT_EQ(longKeys.streams.size(), 1u);
    std::vector<size_t> lengths;
    for (const auto &tag : longKeys.streams[0].tags)
        lengths.push_back(tag.first.size());
    EXPECT_NE(std::find(lengths.begin(), lengths.end(), 497u), lengths.end()) << "no key at the limit";
    EXPECT_NE(std::find(lengths.begin(), lengths.end(), 498u), lengths.end()) << "no key past the limit";
}

// Only the second file's keys remain after two loads into the same dictionary.
TEST(ExportTwice, SecondFileReplacesTheFirst)
{
    make_stale_dictionary();
    {
        HostSession s("@metadatadict meta");
        s.load("replace " + fixture("tags.mkv"));
        s.load("replace " + fixture("notags.wav"));
        EXPECT_EQ(take_outlets().size(), 4u);
        EXPECT_TRUE(take_console().empty());
        expect_entries(dictionary("meta"), expected_export(probe(fixture("notags.wav")), 0));
    }
    EXPECT_EQ(host_alive_count(), 0);
}

// info fills the dictionary before the list goes out (a cord on the list outlet dumps it),
// and leaves the buffer~ alone.
TEST(ExportInfo, FilledBeforeTheListAndTheBufferUntouched)
{
    std::string path = fixture("tags.mkv");
    make_stale_dictionary();
    {
        HostSession s("@metadatadict meta", 10, 1, 22050);
        ASSERT_EQ(host_run_line("once " + s.id + " 0 dump meta"), 0);
        HostSession::Result r = s.run("info " + path);
        ASSERT_FALSE(r.outlets.empty());
        EXPECT_EQ(r.outlets[0].rfind(s.id + " 0: 44100. 1 ", 0), 0u) << r.outlets[0];
        std::vector<std::string> expected = expected_export(probe(path), 2);
        expect_entries(entries_of(std::vector<std::string>(r.outlets.begin() + 1, r.outlets.end())), expected);
        expect_entries(dictionary("meta"), expected);
        EXPECT_TRUE(host_buffer_messages(s.buffer).empty());
        EXPECT_EQ(r.buffer.frames(), 10);
        EXPECT_EQ(r.buffer.rate, 22050);
    }
    EXPECT_EQ(host_alive_count(), 0);
}

// With debug on, the trace names the dictionary, then every stream tag and every file tag
// as it goes in, once the decoder is open and before the load's end.
TEST(ExportTrace, NamesEveryTag)
{
    std::string path = fixture("tags.mkv");
    make_stale_dictionary();
    HostSession s("@metadatadict meta @debug 1");
    HostSession::Result r = s.run("info " + path);
    Probed file = probe(path);
    std::vector<std::string> wanted = {"vorlo~: codec name: flac", "vorlo~: found dict for metadata"};
    for (const ProbedStream &stream : file.streams)
        for (const auto &tag : stream.tags)
            wanted.push_back("vorlo~: found stream metadata:  " + tag.first + ": " + tag.second);
    for (const auto &tag : file.tags)
        wanted.push_back("vorlo~: found metadata:  " + tag.first + ": " + tag.second);
    wanted.push_back("vorlo~: SUCCESS");
    std::vector<std::string> trace;
    for (const std::string &line : r.console)
        if (std::find(wanted.begin(), wanted.end(), line) != wanted.end())
            trace.push_back(line);
    EXPECT_EQ(trace, wanted) << joined(r.console);
}

struct UntouchedCase {
    const char *name;
    const char *attributes;
    const char *before;   // a message sent before the load, or ""
    const char *message;  // PATH stands for a file with tags
};

const UntouchedCase kUntouched[] = {
    {"no_dictionary_of_that_name", "@metadatadict nosuchdict", "", "replace PATH"},
    {"attribute_not_set", "", "", "replace PATH"},
    {"attribute_cleared", "@metadatadict meta", "metadatadict", "replace PATH"},
    {"load_fails_before_the_export", "@metadatadict meta", "", "replace PATH.missing"},
    {"buffer_source", "@metadatadict meta", "", "importreplace buffer=metasource"},
};

void PrintTo(const UntouchedCase &c, std::ostream *out)
{
    *out << c.name;
}

class Untouched : public ::testing::TestWithParam<UntouchedCase> {};

// No export: the dictionary keeps what it held, and nothing about it is posted.
TEST_P(Untouched, DictionaryKeepsWhatItHeld)
{
    const UntouchedCase &c = GetParam();
    std::string path = fixture("tags.flac");
    host_buffer("metasource", 100, 1, 44100);
    make_stale_dictionary();
    {
        HostSession s(std::string("@debug 1 ") + c.attributes);
        if (*c.before)
            s.send(c.before);
        HostSession::Result r = s.run(with_path(c.message, path));
        for (const std::string &line : r.console)
            EXPECT_EQ(line.find("dict"), std::string::npos) << line;
        expect_entries(dictionary("meta"), kStale);
    }
    EXPECT_EQ(host_alive_count(), 0);
}

INSTANTIATE_TEST_SUITE_P(NoExport, Untouched, ::testing::ValuesIn(kUntouched),
                         [](const ::testing::TestParamInfo<UntouchedCase> &info) {
                             return std::string(info.param.name);
                         });

} // namespace
