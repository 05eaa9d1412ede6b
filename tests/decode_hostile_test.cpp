// Files made to mislead or to stall the loader: headers that claim what the file does not
// hold, rates and channel counts that no conversion takes, FIFOs whose writer is silent,
// devices, folders, symlink loops, and files that change while they are loaded. Every load
// ends with exactly one bang and a clear console line for every refusal.
#include "fixtures.h"
#include "headless_host.h"
#include "object_record.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <stdint.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <thread>

namespace {

std::string read_bytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string crafted_path(const std::string &name)
{
    return fixture_dir_path("crafted-" + std::to_string(getpid()) + "-" + name);
}

std::string write_crafted(const std::string &name, const std::string &bytes)
{
    std::string path = crafted_path(name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

void put_le(std::string *bytes, size_t at, uint64_t value, int size)
{
    for (int i = 0; i < size; i++)
        (*bytes)[at + i] = (char)(value >> (8 * i));
}

// A one-second mono FLAC whose STREAMINFO claims `total` samples (a 36-bit field).
std::string flac_claiming(uint64_t total)
{
    std::string bytes = read_bytes(fixture("tags.flac"));
    // "fLaC", the block header, 10 bytes of block and frame sizes; then 64 bits: rate (20),
    // channels - 1 (3), bits - 1 (5), total samples (36), big-endian.
    uint64_t word = 0;
    for (int i = 0; i < 8; i++)
        word = word << 8 | (uint8_t)bytes[18 + i];
    word = (word & ~((UINT64_C(1) << 36) - 1)) | total;
    for (int i = 0; i < 8; i++)
        bytes[18 + i] = (char)(word >> (56 - 8 * i));
    return bytes;
}

// A one-second mono 16-bit WAV with its format chunk rewritten, and optionally a data
// chunk that claims `dataSize` bytes.
std::string wav_with(int channels, uint32_t rate, uint32_t dataSize = 0)
{
    std::string bytes = read_bytes(fixture("notags.wav"));
    size_t fmt = bytes.find("fmt "), data = bytes.find("data");
    put_le(&bytes, fmt + 10, (uint64_t)channels, 2);
    put_le(&bytes, fmt + 12, rate, 4);
    put_le(&bytes, fmt + 16, (uint64_t)rate * channels * 2, 4);
    put_le(&bytes, fmt + 20, (uint64_t)channels * 2, 2);
    if (dataSize) {
        put_le(&bytes, 4, dataSize, 4);
        put_le(&bytes, data + 4, dataSize, 4);
    }
    return bytes;
}

long count_lines_ending(const std::vector<std::string> &lines, const std::string &id, const char *suffix)
{
    long n = 0;
    for (const std::string &l : lines)
        n += l == id + suffix;
    return n;
}

bool has_line_with(const std::vector<std::string> &lines, const std::string &piece)
{
    for (const std::string &l : lines)
        if (l.find(piece) != std::string::npos)
            return true;
    return false;
}

struct Crafted {
    const char *name;
    std::function<std::string()> bytes;
    const char *attributes;
    const char *message;  // after the path
    bool done;            // the done bang, else the error bang
    const char *console;  // a piece of a console line that must be there
};

// Headers that claim hours are measured against the audio; what no conversion takes is
// refused before the buffer is touched.
const Crafted kCrafted[] = {
    {"claim28.flac", [] { return flac_claiming(UINT64_C(1) << 28); }, "", "", true,
     "of the 6086.972 sec that the file announces are missing"},
    {"claimmax.flac", [] { return flac_claiming((UINT64_C(1) << 36) - 1); }, "", "", true,
     "of the 1558264.779 sec that the file announces are missing"},
    {"claim4g.wav", [] { return wav_with(1, 44100, 0xFFFFFFF0u); }, "", "", true, nullptr},
    {"ch1000.wav", [] { return wav_with(1000, 44100); }, "", "", false, "error: Failed to initialize the decoder."},
    {"ch200.wav", [] { return wav_with(200, 44100); }, "@resample 7", "", false,
     "error: the source has 200 channels and the result 200: converting the rate or the channels takes at most 64"},
    {"ch100mono.wav", [] { return wav_with(100, 44100); }, "", " 0 sec 0 sec s_mono", false,
     "error: the source has 100 channels and the result 1: converting the rate or the channels takes at most 64"},
    {"rmax.wav", [] { return wav_with(1, 0x7FFFFFFF); }, "@resample 7", "", false,
     "error: converting 2147483647 Hz to 48000 Hz is beyond the factor of 1024 that the resampler takes"},
    {"r1.wav", [] { return wav_with(2, 1); }, "@resample 7", "", false,
     "error: converting 1 Hz to 48000 Hz is beyond the factor of 1024 that the resampler takes"},
    {"rneg.wav", [] { return wav_with(2, 0xFFFFFFFFu); }, "", "", false,
     "error: Invalid data found when processing input"},
};

class CraftedFiles : public ::testing::TestWithParam<Crafted> {};

TEST_P(CraftedFiles, EndWithOneBangAndNoBufferOnTheHeadersWord)
{
    const Crafted &c = GetParam();
    std::string path = write_crafted(c.name, c.bytes());
    {
        HostSession s(c.attributes, 10, 1, 44100);
        HostSession::Result r = s.run("replace " + path + c.message);
        std::string said = joined(r.outlets) + joined(r.console);
        EXPECT_EQ(count_lines_ending(r.outlets, s.id, " 1: bang"), c.done ? 1 : 0) << said;
        EXPECT_EQ(count_lines_ending(r.outlets, s.id, " 2: bang"), c.done ? 0 : 1) << said;
        if (c.console) {
            EXPECT_TRUE(has_line_with(r.console, c.console)) << said;
        }
        if (c.done) {
            // The audio, not the header, decides the length.
            EXPECT_EQ(r.buffer.frames(), 44100) << said;
        } else {
            EXPECT_TRUE(host_buffer_messages(s.buffer).empty()) << said;
            EXPECT_EQ(r.buffer.frames(), 10);
        }
    }
    EXPECT_EQ(host_alive_count(), 0);
    unlink(path.c_str());
}

INSTANTIATE_TEST_SUITE_P(Headers, CraftedFiles, ::testing::ValuesIn(kCrafted),
                         [](const ::testing::TestParamInfo<Crafted> &info) {
                             std::string name = info.param.name;
                             for (char &ch : name)
                                 if (!isalnum((unsigned char)ch))
                                     ch = '_';
                             return name;
                         });

// A replace may start anywhere, far past the file's end too: it then loads the whole file.
TEST(ExtremePositions, ReplaceFromFarPastTheEndLoadsTheWholeFile)
{
    std::string file = fixture("s16.flac");
    Decoded reference = reference_decode(file);
    for (const char *positions : {" 1e300 sec", " 1e300 ms 1e300 sec", " 3 sec"}) {
        HostSession s;
        HostSession::Result r = s.run("replace " + file + positions);
        std::string said = joined(r.outlets) + joined(r.console);
        EXPECT_EQ(count_lines_ending(r.outlets, s.id, " 1: bang"), 1) << positions << "\n" << said;
        EXPECT_EQ(r.buffer.samples, reference.samples) << positions;
    }
    EXPECT_EQ(host_alive_count(), 0);
}

// Paths that name no audio file at all: refused, with the reason on the console.
struct Refused {
    const char *name;
    std::function<std::string()> make;  // the path
    const char *reason;
};

std::string symlink_to(const std::string &name, const std::string &target)
{
    std::string path = crafted_path(name);
    unlink(path.c_str());
    EXPECT_EQ(symlink(target.c_str(), path.c_str()), 0);
    return path;
}

// Two links that name each other.
std::string symlink_loop()
{
    symlink_to("loopb", crafted_path("loopa"));
    return symlink_to("loopa", crafted_path("loopb"));
}

const Refused kRefused[] = {
    {"zero", [] { return std::string("/dev/zero"); }, "it is a device, not a file"},
    {"urandom", [] { return std::string("/dev/urandom"); }, "it is a device, not a file"},
    // The name's extension makes FFmpeg take the endless zeros for MPEG audio.
    {"zero_as_mp3", [] { return symlink_to("zero.mp3", "/dev/zero"); }, "it is a device, not a file"},
    {"folder", [] { return fixture_dir_path(""); }, "it is a folder, not a file"},
    {"symlink_loop", symlink_loop, "Too many levels of symbolic links"},
};

class RefusedPaths : public ::testing::TestWithParam<Refused> {};

TEST_P(RefusedPaths, ErrorBangAndReason)
{
    const Refused &c = GetParam();
    std::string path = c.make();
    for (const char *kind : {"replace ", "info "}) {
        HostSession s("", 10, 1, 44100);
        HostSession::Result r = s.run(kind + path);
        std::string said = joined(r.outlets) + joined(r.console);
        std::vector<std::string> wanted = {s.id + " 2: bang"};
        EXPECT_EQ(r.outlets, wanted) << said;
        EXPECT_TRUE(has_line(r.console, "vorlo~: error: Error opening file.-> " + path)) << said;
        EXPECT_TRUE(has_line(r.console, std::string("vorlo~: error: ") + c.reason)) << said;
        EXPECT_EQ(r.buffer.frames(), 10);
    }
    EXPECT_EQ(host_alive_count(), 0);
}

INSTANTIATE_TEST_SUITE_P(Paths, RefusedPaths, ::testing::ValuesIn(kRefused),
                         [](const ::testing::TestParamInfo<Refused> &info) { return std::string(info.param.name); });

// A FIFO with a writer that holds it open: it writes `bytes` (perhaps none) and then keeps
// silent until released, or until it gives up after a minute.
struct SilentFifo {
    std::string path;
    std::atomic<bool> released{false};
    std::atomic<bool> gaveUp{false};
    std::thread writer;
    explicit SilentFifo(const std::string &bytes, bool connect = true)
    {
        static int fifos = 0;
        signal(SIGPIPE, SIG_IGN);
        path = fixture_dir_path("fifo-" + std::to_string(getpid()) + "-" + std::to_string(fifos++) + ".flac");
        unlink(path.c_str());
        EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
        if (!connect)
            return;
        writer = std::thread([this, bytes] {
            int fd = open(path.c_str(), O_WRONLY);
            for (size_t done = 0; fd >= 0 && done < bytes.size();) {
                ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
                if (n <= 0)
                    break;
                done += (size_t)n;
            }
            for (int i = 0; i < 60000 && !released; i++)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            gaveUp = !released;
            close(fd);
        });
    }
    ~SilentFifo()
    {
        released = true;
        // A writer still waiting in open(2) for a reader is let through by one, and a
        // reader still waiting for a writer by one that goes at once.
        int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK);
        int unblock = open(path.c_str(), O_WRONLY | O_NONBLOCK);
        if (unblock >= 0)
            close(unblock);
        if (writer.joinable())
            writer.join();
        if (fd >= 0)
            close(fd);
        unlink(path.c_str());
    }
};

// A stop ends the load at once although the writer says nothing: no bang, and the writer is
// still holding the FIFO open when the instance has gone.
struct Stalled {
    const char *name;
    size_t headBytes;  // of a FLAC file written before the writer falls silent
    bool connect;      // a writer opens the FIFO at all
    bool freeInstead;  // free the instance rather than send break
};

const Stalled kStalled[] = {
    {"silent_break", 0, true, false},
    {"silent_free", 0, true, true},
    {"no_writer_break", 0, false, false},
    {"stalls_in_header_break", 600, true, false},
    {"stalls_in_header_free", 600, true, true},
};

class StalledFifo : public ::testing::TestWithParam<Stalled> {};

TEST_P(StalledFifo, StopEndsTheLoadAtOnce)
{
    const Stalled &c = GetParam();
    std::string head = read_bytes(fixture("s16.flac")).substr(0, c.headBytes);
    SilentFifo fifo(head, c.connect);
    auto s = std::make_unique<HostSession>("", 10, 1, 44100);
    std::string buffer = s->buffer;
    s->send("replace " + fifo.path);
    host_idle(100);
    if (c.freeInstead) {
        s.reset();
        // The free returns at once; the stopped loader then ends by itself.
        EXPECT_TRUE(host_wait(60));
    } else {
        s->send("break");
        EXPECT_TRUE(host_wait(60));
        EXPECT_EQ(s->contents().frames(), 10);
        s.reset();
    }
    EXPECT_FALSE(fifo.gaveUp);
    EXPECT_EQ(joined(take_outlets()) + joined(take_console()), "");
    EXPECT_EQ(host_alive_count(), 0);
}

INSTANTIATE_TEST_SUITE_P(Fifo, StalledFifo, ::testing::ValuesIn(kStalled),
                         [](const ::testing::TestParamInfo<Stalled> &info) { return std::string(info.param.name); });

// Through a FIFO the header's claim cannot be measured: the buffer takes it up to a bound,
// with a warning, and what the FIFO holds is there.
TEST(ClaimThroughFifo, IsBoundedWithAWarning)
{
    std::string flac = flac_claiming(UINT64_C(1) << 28);
    {
        SilentFifo fifo(flac);
        HostSession s("", 10, 1, 44100);
        s.send("replace " + fifo.path);
        fifo.released = true;
        ASSERT_TRUE(host_wait(120));
        std::vector<std::string> outlets = take_outlets(), console = take_console();
        std::string said = joined(outlets) + joined(console);
        EXPECT_EQ(count_lines_ending(outlets, s.id, " 1: bang"), 1) << said;
        EXPECT_EQ(count_lines_ending(outlets, s.id, " 2: bang"), 0) << said;
        EXPECT_TRUE(has_line(console, "vorlo~: warning: the input can be read only once, so its length cannot be "
                                      "measured: of the 6086.972 sec that its header claims, the buffer takes at "
                                      "most the first 3043.486 sec.-> " + fifo.path))
            << said;
        std::vector<std::string> sized = {"sizeinsamps 134217728 1"};
        EXPECT_EQ(host_buffer_messages(s.buffer), sized);
    }
    EXPECT_EQ(host_alive_count(), 0);
}

// A file that grows or shrinks under the loader: the load ends with one bang, every write
// inside the buffer (the sanitizers and the host's rules watch), and the instance releases
// everything.
struct Changing {
    const char *name;
    std::function<void(const std::string &path, const std::string &whole)> change;
};

const Changing kChanging[] = {
    {"truncated", [](const std::string &path, const std::string &) { EXPECT_EQ(truncate(path.c_str(), 4096), 0); }},
    {"emptied", [](const std::string &path, const std::string &) { EXPECT_EQ(truncate(path.c_str(), 0), 0); }},
    {"grows", [](const std::string &path, const std::string &whole) {
         std::ofstream(path, std::ios::binary | std::ios::app) << whole.substr(whole.size() / 2);
     }},
};

class ChangingFile : public ::testing::TestWithParam<Changing> {};

TEST_P(ChangingFile, LoadEndsWithOneBang)
{
    const Changing &c = GetParam();
    std::string whole = read_bytes(fixture("long.flac"));
    const std::pair<const char *, const char *> requests[] = {{"replace ", ""}, {"importreplace ", ""},
                                                              {"replace ", " 10 sec"}};
    for (const auto &request : requests) {
        std::string path = write_crafted(std::string("changing-") + c.name + ".flac", whole);
        HostSession s;
        s.send(request.first + path + request.second);
        c.change(path, whole);
        ASSERT_TRUE(host_wait(120));
        std::vector<std::string> outlets = take_outlets();
        std::string said = joined(outlets) + joined(take_console());
        EXPECT_EQ(count_lines_ending(outlets, s.id, " 1: bang") + count_lines_ending(outlets, s.id, " 2: bang"), 1)
            << said;
        unlink(path.c_str());
    }
    EXPECT_EQ(host_alive_count(), 0);
}

INSTANTIATE_TEST_SUITE_P(Files, ChangingFile, ::testing::ValuesIn(kChanging),
                         [](const ::testing::TestParamInfo<Changing> &info) { return std::string(info.param.name); });

struct RenamedCase {
    const char *name;
    const char *first, *then;   // fixtures: the file the load opens, the one renamed over it
    const char *words;          // after the path
    float tolerance;
};

// An editor or a DAW saves by writing another file and renaming it over the old one. A load
// reads, in every pass (an Ogg stream's measuring, a replace's second run), the file it first
// opened: the buffer holds that file whole, whatever the name holds meanwhile.
TEST(RenamedOver, TheLoadReadsTheFileItFirstOpened)
{
    const RenamedCase cases[] = {
        {"vorbis_from_the_middle", "vorbis_pink.ogg", "vorbis.ogg", " 1 sec", 1e-4f},
        {"chained_ogg", "chain.ogg", "vorbis.ogg", "", 1e-4f},
        {"flac_from_the_middle", "long.flac", "s16.flac", " 10 sec", 0.0f},
        {"mp3_from_the_middle", "vbr_pink.mp3", "cbr3.mp3", " 2 sec", 1e-4f},
    };
    for (const RenamedCase &c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = write_crafted(std::string("renamed-") + c.name, read_bytes(fixture(c.first)));
        std::string other = write_crafted(std::string("renamed-new-") + c.name, read_bytes(fixture(c.then)));
        HostSession s;
        std::string error;
        // The load opens the file and waits in its first read while the name is given away.
        ASSERT_TRUE(host_stall(path, 0.5, &error)) << error;
        s.send("replace " + path + c.words);
        host_hold(100);
        ASSERT_EQ(rename(other.c_str(), path.c_str()), 0);
        ASSERT_TRUE(host_wait(60));
        std::vector<std::string> outlets = take_outlets();
        EXPECT_TRUE(has_line(outlets, s.id + " 1: bang")) << joined(outlets) << joined(take_console());
        const Decoded &reference = reference_of(fixture(c.first));
        Decoded buffer = s.contents();
        ASSERT_EQ(buffer.frames(), reference.frames());
        EXPECT_EQ(first_difference(buffer.samples, reference.samples, 0, c.tolerance), "");
        unlink(path.c_str());
        take_console();
    }
}

} // namespace
