#!/usr/bin/env python3
"""Times whole loads through vorlo-host against the decoder's own floor.

    bench/run.py BUILD_DIR [ROUNDS] [MINUTES]

Makes its inputs (MINUTES of 48 kHz stereo noise in seven formats, and a 1-second file),
then runs every command once per round, the commands of a format in an order that rotates
from round to round, and prints the median time of each with its spread (half the range
of the rounds, as a share of the median):
  a   vorlo-host: replace into a buffer~, nothing written out
  b   decode_floor decode: FFmpeg's decoder alone, nothing stored
  b2  decode_floor memory: decoded and converted into one float array of the whole output
  c   ffmpeg -i F -f f32le -y /dev/null
  d   sndfile_floor: libsndfile reading the whole file into floats (formats it reads)
and the ratios a/b2, a/c, a/d with the peak memory of (a) beside the buffer's size. Then
import with gain and fades, overwriting and mixing, and replace resampled to 44.1 kHz,
against b2 (b2 resampling to the same rate for the latter), and the time per load of 200
loads of a 1-second file in one process against b2 doing the same, in one thread and with
each load on a thread of its own, as vorlo~ loads. Then (a) against b2 decoding the stream
in as many pieces as there are cores at once, each from a seek (decode_floor segments), and
(a) with its decoders attribute from 1 to the number of cores (a's own default).
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time

FORMATS = [  # name, file extension, encoder options
    ("WAV 16-bit", "wav", ["-c:a", "pcm_s16le"]),
    ("WAV 24-bit", "wav", ["-c:a", "pcm_s24le"]),
    ("FLAC", "flac", ["-c:a", "flac"]),
    ("MP3 192k", "mp3", ["-c:a", "libmp3lame", "-b:a", "192k"]),
    ("AAC 192k", "m4a", ["-c:a", "aac", "-b:a", "192k"]),
    ("Opus 128k", "opus", ["-c:a", "libopus", "-b:a", "128k"]),
    ("Vorbis q5", "ogg", ["-c:a", "libvorbis", "-q:a", "5"]),
]
SHORT_LOADS = 200
CORES = os.cpu_count() or 1


def make_input(path, seconds, options):
    noise = "anoisesrc=d={}:r=48000:c=pink:a=0.3:seed={}"
    subprocess.run(["ffmpeg", "-nostdin", "-loglevel", "error", "-y",
                    "-f", "lavfi", "-i", noise.format(seconds, 1),
                    "-f", "lavfi", "-i", noise.format(seconds, 2),
                    "-f", "lavfi", "-i", "sine=f=440:r=48000:d={}".format(seconds),
                    "-filter_complex", "[0][2]amix=inputs=2[l];[1][2]amix=inputs=2[r];[l][r]amerge=inputs=2",
                    *options, path], check=True)


def run(command):
    """Runs a command; returns its wall time in seconds and its output."""
    start = time.perf_counter()
    result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    elapsed = time.perf_counter() - start
    if result.returncode != 0:
        sys.exit("failed: {}\n{}{}".format(" ".join(command), result.stdout.decode(), result.stderr.decode()))
    return elapsed, result.stdout.decode()


def peak_kib(command):
    """Peak resident memory of one run, as GNU time reports it."""
    result = subprocess.run(["/usr/bin/time", "-f", "%M", *command], stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE, check=True)
    return int(result.stderr.decode().strip().splitlines()[-1])


def host_script(work, name, lines):
    path = os.path.join(work, name)
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")
    return path


class Timer:
    """Runs groups of commands in rounds, in rotating order, keeping every time."""

    def __init__(self, rounds):
        self.rounds = rounds
        self.times = {}

    def run_group(self, group):  # group: list of (key, command, check)
        for r in range(self.rounds):
            shift = r % len(group)
            for key, command, check in group[shift:] + group[:shift]:
                elapsed, out = run(command)
                if check and check not in out:
                    sys.exit("unexpected output of {}:\n{}".format(" ".join(command), out))
                self.times.setdefault(key, []).append(elapsed)

    def median(self, key):
        return statistics.median(self.times[key]) if key in self.times else None

    def cell(self, key, scale=1.0):
        if key not in self.times:
            return "—"
        values = self.times[key]
        m = statistics.median(values)
        spread = (max(values) - min(values)) / 2 / m * 100 if m > 0 else 0
        return "{:.3f} ±{:.0f}%".format(m * scale, spread)

    def ratio(self, a, b):
        if a not in self.times or b not in self.times:
            return "—"
        return "{:.2f}".format(self.median(a) / self.median(b))


def sndfile_reads(build, path):
    return subprocess.run([os.path.join(build, "bench", "sndfile_floor"), path],
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0


def main():
    build = os.path.abspath(sys.argv[1])
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 9
    minutes = float(sys.argv[3]) if len(sys.argv) > 3 else 10
    seconds = int(minutes * 60)
    host = os.path.join(build, "vorlo-host")
    floor = os.path.join(build, "bench", "decode_floor")
    sndfile = os.path.join(build, "bench", "sndfile_floor")
    timer = Timer(rounds)
    with tempfile.TemporaryDirectory() as work:
        print("making the inputs: {} s of 48 kHz stereo noise in {} formats".format(seconds, len(FORMATS)))
        files = []
        for i, (name, ext, options) in enumerate(FORMATS):
            path = os.path.join(work, "long{}.{}".format(i, ext))
            make_input(path, seconds, options)
            files.append(path)
        short = os.path.join(work, "short.flac")
        make_input(short, 1, ["-c:a", "flac"])

        frames = seconds * 48000
        peaks = {}
        for i, path in enumerate(files):
            replace = host_script(work, "replace{}".format(i), [
                "buffer~ snd", "new v vorlo~ snd", "v replace " + path, "wait 600", "print snd"])
            shaping = "@import_gain -6 @fadein 1000 @fadeout 1000"
            imported = host_script(work, "import{}".format(i), [
                "buffer~ snd {} 2 48000".format(frames), "new v vorlo~ snd " + shaping, "v import " + path,
                "wait 600"])
            mixed = host_script(work, "mix{}".format(i), [
                "buffer~ snd {} 2 48000".format(frames), "new v vorlo~ snd @import_mix 1 " + shaping,
                "v import " + path, "wait 600"])
            resampled = host_script(work, "resample{}".format(i), [
                "buffer~ snd", "new v vorlo~ snd @resample 6", "v replace " + path, "wait 600"])
            group = [(("a", i), [host, replace], "v 1: bang"),
                     (("b", i), [floor, "decode", path], None),
                     (("b2", i), [floor, "memory", path], None),
                     (("c", i), ["ffmpeg", "-nostdin", "-loglevel", "error", "-i", path, "-f", "f32le", "-y",
                                 "/dev/null"], None)]
            if sndfile_reads(build, path):
                group.append((("d", i), [sndfile, path], None))
            group.append((("pieces", i), [floor, "segments", path, str(CORES)], None))
            for cores in range(1, CORES):
                script = host_script(work, "decoders{}_{}".format(cores, i), [
                    "buffer~ snd", "new v vorlo~ snd @decoders {}".format(cores), "v replace " + path, "wait 600"])
                group.append((("cores", i, cores), [host, script], "v 1: bang"))
            group += [(("import", i), [host, imported], "v 1: bang"),
                      (("mix", i), [host, mixed], "v 1: bang"),
                      (("resample", i), [host, resampled], "v 1: bang"),
                      (("b2 44.1k", i), [floor, "memory", path, "44100"], None)]
            print("timing {} ({} rounds)".format(FORMATS[i][0], rounds), flush=True)
            timer.run_group(group)
            peaks[i] = peak_kib([host, replace])

        loads = ["buffer~ snd", "new v vorlo~ snd"] + ["v replace " + short, "wait 60"] * SHORT_LOADS
        print("timing {} loads of a 1-second file".format(SHORT_LOADS), flush=True)
        timer.run_group([("a short", [host, host_script(work, "short", loads)], "v 1: bang"),
                         ("b2 short", [floor, "memory", short, "0", str(SHORT_LOADS)], None),
                         ("b2t short", [floor, "memory", short, "0", str(SHORT_LOADS), "thread"], None)])

    buffer_mib = frames * 2 * 4 / 2**20
    print()
    print("Times in seconds: median ±spread (half the range) of {} rounds; whole processes.".format(rounds))
    print()
    print("| format | a: vorlo-host replace | b: decode only | b2: decode into memory | c: ffmpeg to f32le "
          "| d: libsndfile | a/b2 | a/c | a/d | peak of a (buffer {:.0f} MiB) |".format(buffer_mib))
    print("|---|---|---|---|---|---|---|---|---|---|")
    for i, (name, _, _) in enumerate(FORMATS):
        cells = [timer.cell(("a", i)), timer.cell(("b", i)), timer.cell(("b2", i)), timer.cell(("c", i)),
                 timer.cell(("d", i)), timer.ratio(("a", i), ("b2", i)), timer.ratio(("a", i), ("c", i)),
                 timer.ratio(("a", i), ("d", i)),
                 "{:.0f} MiB (+{:.0f})".format(peaks[i] / 1024, peaks[i] / 1024 - buffer_mib)]
        print("| {} | {} |".format(name, " | ".join(cells)))
    print()
    print("| format | import: gain, fades | import/b2 | the same, mixing | mixing/b2 | replace at 44.1 kHz "
          "| b2 at 44.1 kHz | ratio |")
    print("|---|---|---|---|---|---|---|---|")
    for i, (name, _, _) in enumerate(FORMATS):
        cells = [timer.cell(("import", i)), timer.ratio(("import", i), ("b2", i)), timer.cell(("mix", i)),
                 timer.ratio(("mix", i), ("b2", i)), timer.cell(("resample", i)), timer.cell(("b2 44.1k", i)),
                 timer.ratio(("resample", i), ("b2 44.1k", i))]
        print("| {} | {} |".format(name, " | ".join(cells)))
    print()
    print("Decoding on every core: (a) against b2 in {} pieces of the stream at once, each from a seek "
          "(bench/decode_floor segments), and (a) with 1 to {} decoders (@decoders; {} is a's default):".format(
              CORES, CORES, CORES))
    print()
    counts = " | ".join("a, {} decoder{}".format(k, "s" if k > 1 else "") for k in range(1, CORES + 1))
    print("| format | b2 in pieces | a/pieces | {} |".format(counts))
    print("|---|---|---|{}".format("---|" * CORES))
    for i, (name, _, _) in enumerate(FORMATS):
        cells = [timer.cell(("pieces", i)), timer.ratio(("a", i), ("pieces", i))]
        cells += [timer.cell(("cores", i, k)) for k in range(1, CORES)] + [timer.cell(("a", i))]
        print("| {} | {} |".format(name, " | ".join(cells)))
    print()
    per_load = 1000.0 / SHORT_LOADS
    print("{} loads of a 1-second FLAC file in one process, ms per load: vorlo-host {}, b2 {}, ratio {}; "
          "b2 with each load on a thread of its own {}, ratio {}".format(
              SHORT_LOADS, timer.cell("a short", per_load), timer.cell("b2 short", per_load),
              timer.ratio("a short", "b2 short"), timer.cell("b2t short", per_load),
              timer.ratio("a short", "b2t short")))


if __name__ == "__main__":
    main()
