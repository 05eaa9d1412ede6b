#!/usr/bin/env python3
"""Checks the macOS bundle vorlo~.mxo as dyld and Max would meet it, without a Mac: with
llvm-14's tools, and the arm64 signatures' page hashes recomputed from the files' bytes.

    macos_bundle_check.py BUNDLE [MAX_SDK_DIR [LIBSYSTEM_TBD]]

Every Mach-O file of the bundle (the external and the FFmpeg libraries in Contents/Frameworks)
must hold an x86_64 and an arm64 slice, of the right file type, for macOS 11.0 at most; the
external exports ext_main, vorlo_samplerates and the object's functions only, each library
FFmpeg's own names only; every name that a slice leaves undefined is looked up in the host and
named in the SDK's c74_linker_flags.txt, or bound to libSystem, to the SDK's MaxAudioAPI or to
a library of the bundle, which must define it; every @rpath and @loader_path load command names
a file inside the bundle, at a compatibility version no higher than that file's own; every
arm64 slice carries an ad-hoc signature whose page hashes match its pages. Prints one line per
fault, naming its check, and exits 1 when there is any.
"""
import argparse
import hashlib
import os
import plistlib
import re
import shutil
import struct
import subprocess
import sys

ARCHES = ("arm64", "x86_64")
MIN_MACOS = (11, 0)
FFMPEG_LIBRARIES = ("libavformat.58.dylib", "libavcodec.58.dylib", "libavutil.56.dylib",
                    "libswresample.3.dylib")
SYSTEM = "/usr/lib/libSystem.B.dylib"
# The host application's Jitter framework, which the SDK's scripts link where the SDK has it;
# the object calls nothing of it.
JITTER = "@executable_path/../Frameworks/JitterAPI.framework/Versions/A/JitterAPI"
FFMPEG_EXPORT = re.compile(r"_(av|swr_|swresample_)")
CS_SUPERBLOB, CS_CODEDIRECTORY, CS_ADHOC, CS_SHA256 = 0xFADE0CC0, 0xFADE0C02, 0x2, 2


def llvm(tool):
    """Debian's llvm-14 tool, or the same tool of another LLVM (Xcode's has no suffix)."""
    names = (f"llvm-{tool}-14", f"llvm-{tool}", tool.replace("-", "_"))
    return next((n for n in names if shutil.which(n)), names[0])


def run(tool, *arguments):
    return subprocess.run([llvm(tool), *arguments], check=True, capture_output=True, text=True).stdout


def version(text):
    return tuple(int(part) for part in text.split("."))


class Slice:
    """One architecture of one Mach-O file: its header, load commands and symbols."""

    def __init__(self, path, arch):
        self.path, self.arch = path, arch
        header = run("objdump", "--macho", "--private-header", f"--arch={arch}", path).split()
        self.filetype = header[header.index("flags") + 5] if "flags" in header else "none"
        self.commands = self._load_commands(path, arch)
        self.exports = run("nm", "-gU", f"--arch={arch}", path).split()[2::3]
        self.undefined = self._undefined(path, arch)

    @staticmethod
    def _load_commands(path, arch):
        commands = []
        fields = re.compile(r"^\s*(cmd|name|path|minos|dataoff|datasize|current version|"
                            r"compatibility version)\s+(\S+)")
        for line in run("objdump", "--macho", "--private-headers", f"--arch={arch}",
                        path).splitlines():
            if line.startswith("Load command"):
                commands.append({})
            elif commands and (match := fields.match(line)):
                commands[-1][match.group(1)] = match.group(2)
        return commands

    @staticmethod
    def _undefined(path, arch):
        """(name, where): where is "lookup" for a name left to the host, else the library's
        short name as nm gives it (libSystem, MaxAudioAPI, libavutil.56)."""
        found = []
        for line in run("nm", "-m", "-u", f"--arch={arch}", path).splitlines():
            match = re.search(r"external (\S+) \((?:from (\S+)|(dynamically looked up))\)", line)
            if not match:
                found.append((line.strip(), "unknown"))
            else:
                found.append((match.group(1), match.group(2) or "lookup"))
        return found

    def of(self, cmd):
        return [c for c in self.commands if c.get("cmd") == cmd]


class Bundle:
    def __init__(self, root, sdk, libsystem):
        self.root = os.path.realpath(root)
        self.contents = os.path.join(self.root, "Contents")
        self.binary = os.path.join(self.contents, "MacOS", "vorlo~")
        self.frameworks = os.path.join(self.contents, "Frameworks")
        self.libraries = [os.path.join(self.frameworks, name) for name in FFMPEG_LIBRARIES]
        self.host_names = set(re.findall(r"-Wl,-U,(\S+)", open(os.path.join(
            sdk, "c74support", "max-includes", "c74_linker_flags.txt")).read()))
        self.audio_api = os.path.join(sdk, "c74support", "msp-includes", "MaxAudioAPI.framework",
                                      "MaxAudioAPI")
        self.libsystem = libsystem
        self.faults = []

    def fail(self, check, text):
        self.faults.append(f"FAIL: {check}: {text}")

    def machos(self):
        return [p for p in [self.binary] + self.libraries if os.path.isfile(p)]

    def short(self, path):
        return os.path.relpath(path, self.root)


def check_layout(bundle):
    for path in [bundle.binary] + bundle.libraries:
        if not os.path.isfile(path):
            bundle.fail("layout", f"no {bundle.short(path)}")
    try:
        with open(os.path.join(bundle.contents, "Info.plist"), "rb") as f:
            info = plistlib.load(f)
        for key, want in (("CFBundleExecutable", "vorlo~"), ("CFBundlePackageType", "iLaX")):
            if info.get(key) != want:
                bundle.fail("layout", f"Info.plist's {key} is {info.get(key)!r}, not {want!r}")
    except (OSError, plistlib.InvalidFileException) as error:
        bundle.fail("layout", f"Info.plist: {error}")
    pkginfo = os.path.join(bundle.contents, "PkgInfo")
    if not os.path.isfile(pkginfo) or open(pkginfo, "rb").read() != b"iLaX????":
        bundle.fail("layout", "PkgInfo is not iLaX????")


def slice_ranges(path):
    """{arch: (offset, size)} of a universal file, from its fat header."""
    ranges, arch = {}, None
    for line in run("objdump", "--macho", "--universal-headers", path).splitlines():
        words = line.split()
        if words[:1] == ["architecture"]:
            arch = words[1]
        elif words[:1] in (["offset"], ["size"]) and arch:
            ranges.setdefault(arch, {})[words[0]] = int(words[1])
    return {a: (r["offset"], r["size"]) for a, r in ranges.items()}


def check_slices(bundle, path):
    arches = sorted(slice_ranges(path))
    if arches != sorted(ARCHES):
        bundle.fail("slices", f"{bundle.short(path)} holds {arches or 'one thin slice'}, "
                              f"not {sorted(ARCHES)}")
        return []
    return [Slice(path, arch) for arch in ARCHES]


def check_file_type(bundle, s):
    want = "BUNDLE" if s.path == bundle.binary else "DYLIB"
    if s.filetype != want:
        bundle.fail("file type", f"{bundle.short(s.path)} ({s.arch}) is {s.filetype}, not {want}")


def check_min_os(bundle, s):
    builds = s.of("LC_BUILD_VERSION")
    if not builds or version(builds[0]["minos"]) > MIN_MACOS:
        found = builds[0]["minos"] if builds else "no LC_BUILD_VERSION"
        bundle.fail("minimum macOS", f"{bundle.short(s.path)} ({s.arch}): {found}, "
                                     f"not {'.'.join(map(str, MIN_MACOS))} or older")


def is_object_function(name):
    """A C++ name _Z<length><identifier>... whose identifier begins with vorlo_."""
    match = re.match(r"__Z(\d+)", name)
    if not match:
        return False
    identifier = name[match.end():match.end() + int(match.group(1))]
    return identifier.startswith("vorlo_") and re.fullmatch(r"\w+", identifier) is not None


def check_exports(bundle, s):
    if s.path == bundle.binary:
        for name in ("_ext_main", "_vorlo_samplerates"):
            if name not in s.exports:
                bundle.fail("exports", f"vorlo~ ({s.arch}) does not export {name}")
        others = [n for n in s.exports if n not in ("_ext_main", "_vorlo_samplerates")
                  and not is_object_function(n)]
    else:
        others = [n for n in s.exports if not FFMPEG_EXPORT.match(n)]
    if others:
        bundle.fail("exports", f"{bundle.short(s.path)} ({s.arch}) exports {others[:5]}"
                               f"{' ...' if len(others) > 5 else ''}")


def short_name(library):
    """The name by which llvm-nm -m tells a library: libavutil.56.dylib is libavutil.56, but a
    one-character version goes, as in libSystem.B.dylib and libswresample.3.dylib."""
    stem = library[:-len(".dylib")]
    return re.sub(r"\.\w$", "", stem)


def check_bindings(bundle, s, providers):
    """PROVIDERS: {library's short name: {arch: the names it defines}}."""
    for name, where in s.undefined:
        if where == "lookup":
            if s.path != bundle.binary or name not in bundle.host_names:
                bundle.fail("bindings", f"{bundle.short(s.path)} ({s.arch}) leaves {name} to "
                                        f"be looked up, and the SDK's list does not name it")
        elif where not in providers:
            bundle.fail("bindings", f"{bundle.short(s.path)} ({s.arch}) binds {name} to {where}")
        elif name not in providers[where].get(s.arch, ()):
            bundle.fail("bindings", f"{bundle.short(s.path)} ({s.arch}) binds {name} to {where}, "
                                    f"which does not define it")


def defined_names(path):
    """{arch: the names that a library defines}, for each architecture it holds (none when it
    is no Mach-O file: the layout check tells)."""
    try:
        return {arch: set(run("nm", "-gU", f"--arch={arch}", path).split()[2::3])
                for arch in slice_ranges(path)}
    except subprocess.CalledProcessError:
        return {}


def stub_names(tbd):
    """The names that a text stub (.tbd) of a library lists, for all its architectures."""
    names = set(re.findall(r"[\s\[,]'?([\w$.]+)", open(tbd).read()))
    return {arch: names for arch in ARCHES}


def rpath_folders(s):
    """The folders that the slice's rpaths name; an rpath that does not start from the image's
    own folder names none: it would depend on the machine."""
    return [os.path.normpath(os.path.dirname(s.path) + c["path"][len("@loader_path"):])
            for c in s.of("LC_RPATH") if c["path"].startswith("@loader_path")]


def resolve(name, loader, folders):
    """The file that a load command's name gives, for an image at LOADER whose @rpath is
    searched in FOLDERS, or None."""
    if name.startswith("@loader_path/"):
        found = os.path.join(os.path.dirname(loader), name[len("@loader_path/"):])
        return found if os.path.isfile(found) else None
    if name.startswith("@rpath/"):
        found = [os.path.join(f, name[len("@rpath/"):]) for f in folders]
        return next((f for f in found if os.path.isfile(f)), None)
    return None


def check_load_commands(bundle, s, identities, host_folders):
    """Every dylib that the slice loads: the host's two, or a file of the bundle."""
    for c in s.of("LC_RPATH"):
        if not c["path"].startswith("@loader_path"):
            bundle.fail("load commands", f"{bundle.short(s.path)} ({s.arch}) has the rpath {c['path']}")
    # dyld looks for a library's @rpath names in its own rpaths, then in those of its loader.
    folders = rpath_folders(s) + (host_folders if s.path != bundle.binary else [])
    for command in s.commands:
        kind, name = command.get("cmd"), command.get("name")
        if kind == "LC_ID_DYLIB":
            want = "@rpath/" + os.path.basename(s.path)
            if name != want:
                bundle.fail("load commands", f"{bundle.short(s.path)} ({s.arch}) is named {name}, not {want}")
            continue
        if not kind or not kind.startswith(("LC_LOAD", "LC_REEXPORT", "LC_LAZY_LOAD")):
            continue
        if name in (SYSTEM, JITTER):
            continue
        if name == identities["MaxAudioAPI"][0]:
            known = identities["MaxAudioAPI"]
        else:
            target = resolve(name, s.path, folders)
            inside = target and os.path.realpath(target).startswith(bundle.root + os.sep)
            if not inside:
                bundle.fail("load commands", f"{bundle.short(s.path)} ({s.arch}) loads {name}, "
                                             f"which is no file of the bundle")
                continue
            known = identities.get(os.path.realpath(target))
        if known and version(command["compatibility version"]) > version(known[1]):
            bundle.fail("compatibility versions", f"{bundle.short(s.path)} ({s.arch}) wants "
                        f"{name} at {command['compatibility version']}, which is {known[1]}")


def check_signature(bundle, s, data, offset):
    """The arm64 slice's ad-hoc signature: a code directory of SHA-256 page hashes that cover
    every byte before the signature, each the hash of its page."""
    where = f"{bundle.short(s.path)} ({s.arch})"
    signatures = s.of("LC_CODE_SIGNATURE")
    if not signatures:
        bundle.fail("signature", f"{where} is not signed")
        return
    start, size = int(signatures[0]["dataoff"]), int(signatures[0]["datasize"])
    blob = data[offset + start:offset + start + size]
    magic, _, count = struct.unpack_from(">III", blob) if len(blob) >= 12 else (0, 0, 0)
    directories = [struct.unpack_from(">II", blob, 12 + 8 * i) for i in range(count)]
    directory = next((blob[at:] for kind, at in directories if kind == 0), b"")
    if magic != CS_SUPERBLOB or len(directory) < 44 or \
            struct.unpack_from(">I", directory)[0] != CS_CODEDIRECTORY:
        bundle.fail("signature", f"{where} has no code directory")
        return
    (_, _, _, flags, hash_at, _, _, slots, limit, hash_size, hash_type, _, page_log) = \
        struct.unpack_from(">IIIIIIIIIBBBB", directory)
    page = 1 << page_log
    if not flags & CS_ADHOC or hash_type != CS_SHA256 or limit != start or slots != -(-limit // page):
        bundle.fail("signature", f"{where}: flags {flags:#x}, hash type {hash_type}, {slots} pages "
                                 f"up to {limit}: not an ad-hoc SHA-256 signature of {start} bytes")
        return
    for i in range(slots):
        code = data[offset + i * page:offset + min((i + 1) * page, limit)]
        if hashlib.sha256(code).digest() != directory[hash_at + i * hash_size:][:hash_size]:
            bundle.fail("signature", f"{where}: page {i} does not match its hash")
            return


def identity(path):
    """(install name, compatibility version) of a library, as its first slice gives them."""
    try:
        arches = list(slice_ranges(path)) if os.path.isfile(path) else []
        ids = Slice(path, arches[0]).of("LC_ID_DYLIB") if arches else []
    except subprocess.CalledProcessError:
        ids = []
    return (ids[0]["name"], ids[0]["compatibility version"]) if ids else (None, "0.0.0")


def check(bundle):
    check_layout(bundle)
    # What each library that a slice may bind to defines: libSystem as its stub lists it.
    providers = {"libSystem": stub_names(bundle.libsystem),
                 "MaxAudioAPI": defined_names(bundle.audio_api)}
    providers.update({short_name(os.path.basename(p)): defined_names(p)
                      for p in bundle.libraries if os.path.isfile(p)})
    identities = {"MaxAudioAPI": identity(bundle.audio_api)}
    identities.update({os.path.realpath(p): identity(p) for p in bundle.libraries if os.path.isfile(p)})
    host_folders = {}
    for path in bundle.machos():
        try:
            slices = check_slices(bundle, path)
        except subprocess.CalledProcessError as error:
            bundle.fail("layout", f"{bundle.short(path)} is no Mach-O file: {error.stderr.strip()}")
            continue
        data = open(path, "rb").read()
        for s in slices:
            if path == bundle.binary:
                host_folders[s.arch] = rpath_folders(s)
            check_file_type(bundle, s)
            check_min_os(bundle, s)
            check_exports(bundle, s)
            check_bindings(bundle, s, providers)
            check_load_commands(bundle, s, identities, host_folders.get(s.arch, []))
            if s.arch == "arm64":
                check_signature(bundle, s, data, slice_ranges(path)[s.arch][0])
    return bundle.faults


def arguments(description):
    """(bundle, SDK, libSystem stub) from the command line, the SDK and the stub defaulting to
    the repository's SDK copy (or $MAX_SDK_DIR) and the stub that scripts/setup.sh installs."""
    top = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
    cache = os.environ.get("XDG_CACHE_HOME") or os.path.expanduser("~/.cache")
    parser = argparse.ArgumentParser(description=description)
    parser.add_argument("bundle", help="the vorlo~.mxo folder")
    parser.add_argument("sdk", nargs="?", help="the Max SDK base (c74support/)",
                        default=os.environ.get("MAX_SDK_DIR") or os.path.join(top, "third_party", "max-sdk-base"))
    parser.add_argument("libsystem", nargs="?", help="libSystem's text stub (.tbd), as in Apple's SDK",
                        default=os.path.join(cache, "vorlo", "zig-0.11.0", "macos-sysroot", "usr", "lib",
                                             "libSystem.tbd"))
    args = parser.parse_args()
    for needed in (os.path.join(args.sdk, "c74support", "max-includes", "c74_linker_flags.txt"),
                   args.libsystem):
        if not os.path.isfile(needed):
            parser.error(f"no {needed} (scripts/setup.sh installs zig's libSystem stub)")
    return args.bundle, args.sdk, args.libsystem


def main():
    bundle, sdk, libsystem = arguments("Checks the macOS bundle vorlo~.mxo statically.")
    faults = check(Bundle(bundle, sdk, libsystem))
    print("\n".join(faults) if faults else f"ok: {bundle}: both slices of the external and of "
          f"{len(FFMPEG_LIBRARIES)} FFmpeg libraries, bound, loaded and signed as dyld wants")
    sys.exit(1 if faults else 0)


if __name__ == "__main__":
    main()
