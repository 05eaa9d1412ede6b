#!/usr/bin/env python3
"""The macOS bundle check must find each fault that a bundle can have: a copy of the bundle is
broken in one way per row, and the check must report that row's fault.

    macos_bundle_mutations.py BUNDLE [MAX_SDK_DIR [LIBSYSTEM_TBD]]

Faults are made with llvm-14's tools where they can make them, else by changing bytes of the
x86_64 slice, which carries no signature: its header, a load command's field, or a name in
its string table (the same length, so that nothing else moves).
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from macos_bundle_check import Bundle, arguments, check, llvm, slice_ranges  # noqa: E402

EXTERNAL = "Contents/MacOS/vorlo~"
AVUTIL = "Contents/Frameworks/libavutil.56.dylib"
AVCODEC = "Contents/Frameworks/libavcodec.58.dylib"
LC_LOAD_DYLIB, LC_BUILD_VERSION, LC_CODE_SIGNATURE = 0xC, 0x32, 0x1D


def tool(name, *arguments):
    subprocess.run([llvm(name), *arguments], check=True, capture_output=True)


def edit_slice(path, arch, change):
    """Runs CHANGE(bytearray of the whole file, offset of ARCH's slice) and writes the file."""
    data = bytearray(open(path, "rb").read())
    change(data, slice_ranges(path)[arch][0])
    open(path, "wb").write(data)


def load_command(data, at, wanted, name=None):
    """The offset of the first load command of type WANTED (of a dylib whose name holds NAME)."""
    count = struct.unpack_from("<I", data, at + 16)[0]
    command = at + 32
    for _ in range(count):
        kind, size = struct.unpack_from("<II", data, command)
        if kind == wanted and (name is None or name in data[command:command + size]):
            return command
        command += size
    raise LookupError(f"no load command {wanted:#x}")


def put_u32(field):
    """A change that writes VALUE at the field that FIELD(data, slice offset) locates."""
    def change(value):
        return lambda data, at: struct.pack_into("<I", data, field(data, at), value)
    return change


def rename(old, new):
    """Renames a symbol in the slice's string table, which holds it between two NULs."""
    assert len(old) == len(new)

    def change(data, at):
        where = data.index(b"\0" + old + b"\0", at) + 1
        data[where:where + len(new)] = new
    return change


def flip_byte(offset_in_slice):
    def change(data, at):
        data[at + offset_in_slice] ^= 0xFF
    return change


def zero_superblob(data, at):
    signature = load_command(data, at, LC_CODE_SIGNATURE)
    struct.pack_into(">I", data, at + struct.unpack_from("<I", data, signature + 8)[0], 0)


file_type = put_u32(lambda data, at: at + 12)
min_os = put_u32(lambda data, at: load_command(data, at, LC_BUILD_VERSION) + 12)
avutil_compatibility = put_u32(lambda data, at: load_command(data, at, LC_LOAD_DYLIB, b"libavutil") + 20)


def in_bundle(path, change, arch="x86_64"):
    return lambda root: edit_slice(os.path.join(root, path), arch, change)


def with_tool(*words):
    """A tool's line with {root} standing for the copy's folder."""
    return lambda root: tool(*(w.format(root=root) for w in words))


def remove(path):
    return lambda root: os.remove(os.path.join(root, path))


def set_executable_name(root):
    plist = os.path.join(root, "Contents", "Info.plist")
    text = open(plist).read().replace("<string>vorlo~</string>", "<string>vorlo</string>")
    open(plist, "w").write(text)


# What is broken, the check that must report it, and how it is broken.
CASES = [
    ("external without its x86_64 slice", "slices",
     with_tool("lipo", "{root}/" + EXTERNAL, "-thin", "arm64", "-output", "{root}/" + EXTERNAL)),
    ("library without its arm64 slice", "slices",
     with_tool("lipo", "{root}/" + AVUTIL, "-thin", "x86_64", "-output", "{root}/" + AVUTIL)),
    ("external made an executable", "file type", in_bundle(EXTERNAL, file_type(2))),
    ("external for macOS 12.0", "minimum macOS", in_bundle(EXTERNAL, min_os(12 << 16))),
    ("entry point not exported", "exports", in_bundle(EXTERNAL, rename(b"_ext_main", b"_ext_mair"))),
    ("a name beside the object's exported", "exports",
     in_bundle(EXTERNAL, rename(b"__Z10vorlo_doneP6_vorlo", b"__Z10xorlo_doneP6_vorlo"))),
    ("library exporting a name not FFmpeg's", "exports", in_bundle(AVUTIL, rename(b"_av_malloc", b"_xx_malloc"))),
    ("host call missing from the SDK's list", "bindings",
     in_bundle(EXTERNAL, rename(b"_object_post", b"_object_pest"))),
    ("audio call that MaxAudioAPI lacks", "bindings",
     in_bundle(EXTERNAL, rename(b"_buffer_locksamples", b"_buffer_lockxamples"))),
    ("C library call that libSystem lacks", "bindings", in_bundle(EXTERNAL, rename(b"_memmove", b"_memmovx"))),
    ("FFmpeg call that its library lacks", "bindings",
     in_bundle(EXTERNAL, rename(b"_av_frame_alloc", b"_av_frame_allox"))),
    ("library loaded from the build machine", "load commands",
     with_tool("install-name-tool", "-change", "@rpath/libavutil.56.dylib",
               "/usr/local/lib/libavutil.56.dylib", "{root}/" + EXTERNAL)),
    ("library missing from Frameworks", "load commands", remove("Contents/Frameworks/libswresample.3.dylib")),
    ("rpath of the build machine", "load commands",
     with_tool("install-name-tool", "-rpath", "@loader_path/../Frameworks", "/opt/ffmpeg/lib",
               "{root}/" + EXTERNAL)),
    ("library named by a path of the build machine", "load commands",
     with_tool("install-name-tool", "-id", "/usr/local/lib/libavutil.56.dylib", "{root}/" + AVUTIL)),
    ("libavutil wanted at a higher compatibility version", "compatibility versions",
     in_bundle(EXTERNAL, avutil_compatibility(57 << 16))),
    ("arm64 code changed after signing", "signature", in_bundle(EXTERNAL, flip_byte(0x4100), "arm64")),
    ("arm64 library changed after signing", "signature", in_bundle(AVCODEC, flip_byte(0x8100), "arm64")),
    ("arm64 signature without its code directory", "signature", in_bundle(EXTERNAL, zero_superblob, "arm64")),
    ("Info.plist naming another executable", "layout", set_executable_name),
]


def main():
    bundle, sdk, libsystem = arguments("Checks the macOS bundle check on broken copies of a bundle.")
    faults = check(Bundle(bundle, sdk, libsystem))
    if faults:
        sys.exit("the bundle itself fails its check:\n" + "\n".join(faults))
    passed = failed = 0
    for name, expected, mutate in CASES:
        with tempfile.TemporaryDirectory() as folder:
            copy = os.path.join(folder, "vorlo~.mxo")
            shutil.copytree(bundle, copy, symlinks=True)
            mutate(copy)
            faults = check(Bundle(copy, sdk, libsystem))
        if any(f.startswith(f"FAIL: {expected}:") for f in faults):
            passed += 1
        else:
            failed += 1
            print(f"FAIL: {name}: no fault of the check \"{expected}\" among {faults or 'none'}")
    print(f"{passed} passed, {failed} failed")
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
