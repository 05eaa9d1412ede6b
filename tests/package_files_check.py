#!/usr/bin/env python3
"""Checks the Max package's help patcher and reference page against what the class registers.

    package_files_check.py CLASS.json HELP.maxhelp REF.maxref.xml README.md PACKAGE-INFO.json MEDIA
    package_files_check.py --load VORLO-HOST HELP.maxhelp MEDIA

CLASS.json describes the class as the headless host found it: its messages with their
argument types, its attributes with their types and defaults, its inlets and outlets. MEDIA
is the folder of the demo files that the package ships. With --load, each message box that
the help patcher sends the class is sent through vorlo-host, with MEDIA as the search path,
in a script that plays the message's tab (its buffer~s, dicts and instances, and what its
loadbang sends first), and must load.
Prints one line per fault and exits 1 when there is any, 0 otherwise.
"""
import json
import os
import re
import shlex
import subprocess
import sys
import xml.etree.ElementTree as ET

A_CANT = 9  # a method that the host calls itself, never sent from a patcher
LOADS = ("replace", "importreplace", "import", "info")

# Objects the help patcher may hold besides the class itself: inlets and outlets.
NEWOBJ_PORTS = {"buffer~": (1, 2), "dict": (2, 4), "print": (1, 0), "loadbang": (1, 1), "opendialog": (1, 2),
                "prepend": (1, 1), "sig~": (1, 1), "*~": (2, 1), "p": (0, 0)}
UI_PORTS = {"message": (2, 1), "comment": (1, 0), "button": (1, 1), "attrui": (1, 1), "dict.view": (1, 0),
            "toggle": (1, 1), "flonum": (1, 2), "dropfile": (1, 2), "waveform~": (5, 6), "ezdac~": (2, 0)}
GAIN_CONTROLS = ("flonum", "slider", "dial", "live.dial")


def same_value(documented, registered):
    try:
        return abs(float(documented) - float(registered)) < 1e-6
    except ValueError:
        return documented == registered


def check_refpage(path, cls, media, faults):
    try:
        root = ET.parse(path).getroot()
    except (ET.ParseError, OSError) as e:
        faults.append(f"{path}: not XML: {e}")
        return
    if root.tag != "c74object" or root.get("name") != cls["name"]:
        faults.append(f"{path}: the root is not <c74object name=\"{cls['name']}\">")
    methods = {m.get("name"): m for m in root.findall("./methodlist/method")}
    for m in cls["messages"]:
        if m["name"] not in methods:
            faults.append(f"{path}: message {m['name']} is not documented")
        elif methods[m["name"]].find("arglist") is None or not methods[m["name"]].findtext("digest", "").strip():
            faults.append(f"{path}: message {m['name']} lacks its arglist or digest")
        elif m["types"] != [A_CANT]:
            example = re.search(r"Example: (.*?)\s*$", methods[m["name"]].findtext("description", ""))
            words = example.group(1).split() if example else []
            if words[:1] != [m["name"]] or any(f not in media for f in source_files(example.group(1))):
                faults.append(f"{path}: message {m['name']} has no example of its own with a demo file")
    registered = {a["name"]: a for a in cls["attributes"]}
    for name in methods.keys() - {m["name"] for m in cls["messages"]}:
        faults.append(f"{path}: documents message {name}, which the class does not have")
    documented = {a.get("name"): a for a in root.findall("./attributelist/attribute")}
    for name, a in registered.items():
        node = documented.get(name)
        if node is None:
            faults.append(f"{path}: attribute {name} is not documented")
            continue
        if node.get("type") != a["type"]:
            faults.append(f"{path}: attribute {name} has type {node.get('type')}, the class {a['type']}")
        default = node.find("./attributelist/attribute[@name='default']")
        if default is None or not same_value(default.get("value"), a["default"]):
            shown = None if default is None else default.get("value")
            faults.append(f"{path}: attribute {name} has default {shown}, the class {a['default']!r}")
    for name in documented.keys() - registered.keys():
        faults.append(f"{path}: documents attribute {name}, which the class does not have")
    outlets = root.findall("./outletlist/outlet")
    if [o.get("id") for o in outlets] != [str(i) for i in range(cls["outlets"])] or any(not o.get("type") for o in outlets):
        faults.append(f"{path}: the outlets are not {cls['outlets']} with ids from 0 and a type each")
    if len(root.findall("./inletlist/inlet")) != cls["inlets"]:
        faults.append(f"{path}: the inlets are not {cls['inlets']}")


def object_name(box):
    words = box.get("text", "").split()
    return words[0] if box["maxclass"] == "newobj" and words else box["maxclass"]


def ports(box, cls):
    name = object_name(box)
    if name == cls["name"]:
        return (cls["inlets"], cls["outlets"])
    if name == "groove~":  # groove~ NAME [CHANNELS]: a signal outlet per channel and the sync outlet
        words = box["text"].split()
        return (3, (int(words[2]) if len(words) > 2 and words[2].isdigit() else 1) + 1)
    return NEWOBJ_PORTS.get(name) if box["maxclass"] == "newobj" else UI_PORTS.get(name)


def split_messages(text):
    return [m.strip() for m in text.split(",") if m.strip()]


def read_patcher(path, faults):
    try:
        with open(path) as f:
            return json.load(f)["patcher"]
    except (OSError, ValueError, KeyError, TypeError) as e:
        faults.append(f"{path}: not a patcher: {e!r}")
        return None


def patchers(patcher, label):
    """The patcher and every subpatcher in it, each as (label, boxes, lines, shown on a tab)."""
    boxes = [b["box"] for b in patcher["boxes"]]
    found = [(label, boxes, [l["patchline"] for l in patcher["lines"]], bool(patcher.get("showontab")))]
    for b in boxes:
        if "patcher" in b:
            found += patchers(b["patcher"], f"{label} [{b.get('text', '')}]")
    return found


def check_boxes(path, boxes, cls, faults):
    ids = [b.get("id") for b in boxes]
    for dup in {i for i in ids if ids.count(i) > 1}:
        faults.append(f"{path}: box id {dup} is used twice")
    for b in boxes:
        expected = ports(b, cls)
        if expected is None:
            faults.append(f"{path}: box {b.get('id')} is {object_name(b)}, no object this package knows")
        elif (b.get("numinlets"), b.get("numoutlets")) != expected:
            faults.append(f"{path}: box {b['id']} ({object_name(b)}) shows {b.get('numinlets')} inlets and "
                          f"{b.get('numoutlets')} outlets, not {expected[0]} and {expected[1]}")


def check_lines(path, boxes, lines, cls, faults):
    by_id = {b.get("id"): b for b in boxes}
    for l in lines:
        (src, outlet), (dst, inlet) = l["source"], l["destination"]
        if src not in by_id or dst not in by_id:
            faults.append(f"{path}: a patch line joins {src} and {dst}, which are not both boxes")
            continue
        src_ports, dst_ports = ports(by_id[src], cls), ports(by_id[dst], cls)
        if src_ports and not 0 <= outlet < src_ports[1]:
            faults.append(f"{path}: a patch line leaves {src} from outlet {outlet}, which it does not have")
        if dst_ports and not 0 <= inlet < dst_ports[0]:
            faults.append(f"{path}: a patch line enters {dst} at inlet {inlet}, which it does not have")


def named_objects(boxes, kind):
    return {b["text"].split()[1] for b in boxes
            if object_name(b) == kind and len(b.get("text", "").split()) > 1}


# What the help patcher sends the object: message box texts (with the box that gets each;
# a text may hold several messages, sent in order) and attrui attributes.
def sent_to_class(boxes, lines, cls):
    by_id = {b.get("id"): b for b in boxes}
    targets = {b["id"] for b in boxes if object_name(b) == cls["name"]}
    messages, attributes = [], set()
    for l in lines:
        src, dst = by_id.get(l["source"][0]), l["destination"][0]
        if src is None or dst not in targets or l["destination"][1] != 0:
            continue
        if src["maxclass"] == "message":
            messages.append((src.get("text", ""), dst))
        elif src["maxclass"] == "attrui":
            attributes.add(src.get("attr"))
    return messages, attributes


def feeders(lines, by_id, box_id, inlet):
    """The (box, outlet) pairs whose patch lines enter this inlet."""
    return [(by_id.get(l["source"][0]), l["source"][1]) for l in lines
            if l["destination"] == [box_id, inlet] and l["source"][0] in by_id]


def buffer_of(box):
    words = box.get("text", "").split()
    return words[1] if len(words) > 1 else None


def check_waveform(label, boxes, lines, loaders, faults):
    """waveform~ shows a buffer~ that a vorlo~ of the tab writes, told again after each load."""
    by_id = {b.get("id"): b for b in boxes}
    waveforms = [b for b in boxes if b["maxclass"] == "waveform~"]
    if not waveforms:
        faults.append(f"{label}: no waveform~")
    for w in waveforms:
        name = w.get("buffername")
        if name not in loaders:
            faults.append(f"{label}: waveform~ shows no buffer~ that a vorlo~ of the patcher writes")
            continue
        told = [m for m, _ in feeders(lines, by_id, w["id"], 0) if m and m["maxclass"] == "message"
                and m.get("text") == f"set {name}"
                and (loaders[name]["id"], 1) in [(s["id"], o) for s, o in feeders(lines, by_id, m["id"], 0) if s]]
        if not told:
            faults.append(f"{label}: waveform~ is not told to show {name} after each load "
                          f"(\"set {name}\" from the done outlet)")


def check_ezdac(label, boxes, lines, loaders, faults):
    """ezdac~ plays, left and right, a groove~ on a buffer~ that a vorlo~ writes, through a *~
    each whose gain comes from a control."""
    by_id = {b.get("id"): b for b in boxes}
    dacs = [b for b in boxes if b["maxclass"] == "ezdac~"]
    if not dacs:
        faults.append(f"{label}: no ezdac~")
    for dac in dacs:
        for side in (0, 1):
            fed = False
            for gain, _ in feeders(lines, by_id, dac["id"], side):
                if not gain or object_name(gain) != "*~":
                    continue
                players = [(p, o) for p, o in feeders(lines, by_id, gain["id"], 0)
                           if p and object_name(p) == "groove~" and buffer_of(p) in loaders and o == side]
                controls = [c for c, _ in feeders(lines, by_id, gain["id"], 1) if c and c["maxclass"] in GAIN_CONTROLS]
                fed = fed or bool(players and controls)
            if not fed:
                faults.append(f"{label}: ezdac~ inlet {side} is not fed by channel {side + 1} of a groove~ on a "
                              "buffer~ that vorlo~ writes, through a *~ with a gain control")


def source_files(message):
    """The file names a message to the class or to a dict names."""
    words = message.split()
    if len(words) > 1 and words[0] in LOADS and not words[1].startswith(("buffer=", "dict=")):
        return [words[1]]
    return [words[i + 1] for i in range(len(words) - 1) if words[:i + 1][-2:] == ["set", "filename"]]


def check_ways_to_pick(boxes_of_all, cls, faults, path):
    """A loadbang into a message box into the class; opendialog and dropfile into prepend replace into it."""
    found = set()
    for label, boxes, lines, _ in boxes_of_all:
        by_id = {b.get("id"): b for b in boxes}
        for l in lines:
            src, dst = by_id.get(l["source"][0]), by_id.get(l["destination"][0])
            if not src or not dst:
                continue
            into = [object_name(b) for b, _ in feeders(lines, by_id, src["id"], 0) if b]
            if object_name(dst) == cls["name"]:
                if src["maxclass"] == "message" and "loadbang" in into:
                    found.add("loadbang")
                if src.get("text") == "prepend replace":
                    found.update(n for n in into if n in ("opendialog", "dropfile"))
    for way in ("loadbang", "opendialog", "dropfile"):
        if way not in found:
            faults.append(f"{path}: no {way} that leads to a load" if way == "loadbang"
                          else f"{path}: no {way} into prepend replace into {cls['name']}")


def check_tab(label, boxes, lines, cls, media, faults):
    """One patcher with the class in it: its buffer~s and dicts, the outlets on displays, and
    what shows and plays the result. Returns the messages and attributes it sends."""
    objects = [b for b in boxes if object_name(b) == cls["name"]]
    buffers, dicts = named_objects(boxes, "buffer~"), named_objects(boxes, "dict")
    loaders = {}
    for o in objects:
        words = o["text"].split()
        if len(words) < 2 or words[1] not in buffers:
            faults.append(f"{label}: the {cls['name']} box names no buffer~ of the patcher")
        else:
            loaders[words[1]] = o
        if "@metadatadict" in words and words[words.index("@metadatadict") + 1] not in dicts:
            faults.append(f"{label}: the metadatadict of the {cls['name']} box is no dict of the patcher")
        for outlet in range(cls["outlets"]):
            if not any(l["source"] == [o["id"], outlet] for l in lines):
                faults.append(f"{label}: outlet {outlet} of {cls['name']} is connected to nothing")
    sent, attrui = sent_to_class(boxes, lines, cls)
    messages = [m for text, _ in sent for m in split_messages(text)]
    for m in messages:
        for word in m.split()[1:]:
            if word.startswith("buffer=") and word[7:] not in buffers:
                faults.append(f"{label}: message \"{m}\" names a buffer~ that the patcher lacks")
            if word.startswith("dict=") and word[5:] not in dicts:
                faults.append(f"{label}: message \"{m}\" names a dict that the patcher lacks")
    for b in boxes:
        for m in split_messages(b.get("text", "")) if b["maxclass"] == "message" else []:
            for name in source_files(m):
                if name not in media:
                    faults.append(f"{label}: message \"{m}\" names {name}, which the package does not ship in media/")
    check_waveform(label, boxes, lines, loaders, faults)
    check_ezdac(label, boxes, lines, loaders, faults)
    return messages, attrui


def shape(message):
    """A message with its source reduced to its kind and set's name left out, so that the
    README's examples, which load /tmp files, meet the help patcher's, which load the demo."""
    words = message.split()
    if len(words) > 1 and words[0] in LOADS:
        kind = re.match(r"(buffer=|dict=)?", words[1]).group(1)
        words[1] = kind or "FILE"
    elif words and words[0] == "set":
        words[1:] = ["NAME"]
    return " ".join(words)


def check_help(path, cls, readme_messages, media, faults):
    root = read_patcher(path, faults)
    if root is None:
        return
    every = patchers(root, path)
    messages, attrui = [], set()
    tabs = [p for p in every if p[3]]
    if len(tabs) < 6:
        faults.append(f"{path}: {len(tabs)} tabs, not one for each of loading, sections, import, another buffer~ "
                      "as the source, metadata and attributes")
    for label, boxes, lines, on_tab in every:
        check_boxes(label, boxes, cls, faults)
        check_lines(label, boxes, lines, cls, faults)
        if any(object_name(b) == cls["name"] for b in boxes):
            sent, shown = check_tab(label, boxes, lines, cls, media, faults)
            messages += sent
            attrui |= shown
        elif on_tab:
            faults.append(f"{label}: a tab without {cls['name']}")
    if not messages:
        faults.append(f"{path}: no {cls['name']} box")
        return
    check_ways_to_pick(every, cls, faults, path)
    sendable = {m["name"] for m in cls["messages"] if m["types"] != [A_CANT]}
    attributes = {a["name"] for a in cls["attributes"]}
    for m in messages:
        if m.split()[0] not in sendable | attributes:
            faults.append(f"{path}: message \"{m}\" is not one that {cls['name']} understands")
    for name in attrui - attributes:
        faults.append(f"{path}: an attrui shows {name}, which {cls['name']} does not have")
    selectors = {m.split()[0] for m in messages}
    for name in sorted(sendable - selectors):
        faults.append(f"{path}: no message box sends {name}")
    for name in sorted(attributes - attrui - selectors):
        faults.append(f"{path}: attribute {name} has neither an attrui nor a message box")
    shapes = {shape(m) for m in messages}
    for m in readme_messages:
        if shape(m) not in shapes:
            faults.append(f"{path}: the README's example \"{m}\" has no message box")


# The message that `vorlo-host load [@ATTR VALUE...] FILE [-o OUT] [--timeout S] [WORDS...]` sends.
def load_message(words):
    rest, file, i = [], None, 0
    while i < len(words):
        w = words[i]
        if w in ("-o", "--timeout") or (w.startswith("@") and file is None):
            i += 2
            continue
        if file is None:
            file = w
        else:
            rest.append(w)
        i += 1
    selector = rest[0] if rest else "replace"
    return " ".join([selector, file] + rest[1:])


def readme_examples(path, cls):
    """The messages of the README's section "Messages": script lines sent to instance v and
    the messages that its vorlo-host load commands send."""
    sendable = {m["name"] for m in cls["messages"] if m["types"] != [A_CANT]}
    examples, inside = [], False
    with open(path) as f:
        for line in f:
            if line.startswith("## "):
                inside = line.strip() == "## Messages"
            if not inside or not line.startswith("    "):
                continue
            try:
                words = shlex.split(line)
            except ValueError:
                continue
            if len(words) > 1 and words[0] == "v" and words[1] in sendable:
                examples.append(" ".join(words[1:]))
            elif "load" in words and words[0].endswith("vorlo-host"):
                examples.append(load_message(words[words.index("load") + 1:]))
    return examples


def check_package_info(path, help_path, faults):
    try:
        with open(path) as f:
            info = json.load(f)
    except (OSError, ValueError) as e:
        faults.append(f"{path}: not JSON: {e}")
        return
    for key in ("name", "version", "author", "description", "max_version_min", "os"):
        if not info.get(key):
            faults.append(f"{path}: no {key}")
    if info.get("homepatcher") != help_path.rsplit("/", 1)[-1]:
        faults.append(f"{path}: the homepatcher is not the help patcher")


# --- loading each example through vorlo-host ---------------------------------------------

def quoted(word):
    return '"' + word + '"'


def tab_script(boxes, lines, media, name="vorlo~"):
    """The lines that set a tab up in vorlo-host: the search path, its buffer~s (NAME [FILE]
    [MS [CHANNELS]]), its dicts with what their set messages give them, an instance per
    vorlo~ box, and the messages of its loadbang. Returns the lines and the instance of each box."""
    by_id = {b.get("id"): b for b in boxes}
    script = [f"searchpath {quoted(media)}"]
    for b in boxes:
        words = b.get("text", "").split()
        if object_name(b) == "buffer~" and len(words) > 1:
            numbers = [float(w) for w in words[2:] if re.fullmatch(r"[0-9.]+", w)]
            size = [str(round(numbers[0] * 44.1))] if numbers else []
            script.append(" ".join(["buffer~", words[1]] + size + [str(int(n)) for n in numbers[1:2]]))
        elif object_name(b) == "dict" and len(words) > 1:
            entries = []
            for m, _ in feeders(lines, by_id, b["id"], 0):
                for part in split_messages(m.get("text", "")) if m and m["maxclass"] == "message" else []:
                    w = shlex.split(part)
                    if len(w) == 3 and w[0] == "set":
                        entries += [w[1], quoted(w[2])]
            script.append(" ".join(["dict", words[1]] + entries))
    instances = {}
    for b in boxes:
        if object_name(b) == name:
            instances[b["id"]] = f"v{len(instances) + 1}"
            script.append(f"new {instances[b['id']]} {b['text']}")
    for bang in [b for b in boxes if object_name(b) == "loadbang"]:
        for l in lines:
            msg = by_id.get(l["destination"][0]) if l["source"][0] == bang["id"] else None
            for l2 in lines if msg and msg["maxclass"] == "message" else []:
                if l2["source"][0] == msg["id"] and l2["destination"][0] in instances:
                    script += [f"{instances[l2['destination'][0]]} {msg['text']}", "wait"]
    return script, instances


def load_fault(run, instance, messages):
    errors = [l for l in run.stderr.splitlines() if "error" in l]
    if run.returncode != 0 or errors or re.search(r"^v\d+ 2: bang$", run.stdout, re.M):
        return f"exit status {run.returncode}: " + " | ".join(errors or ["an error bang"])
    loads = [m.split()[0] for m in messages if m.split()[0] in LOADS]
    mine = [l for l in run.stdout.splitlines() if l.startswith(instance + " ")]
    want = f"{instance} 0: " if loads[-1:] == ["info"] else f"{instance} 1: bang"
    if loads and not (mine and mine[-1].startswith(want)):
        return f"its last output is {mine[-1] if mine else 'nothing'!r}, not {want!r}"
    return None


def load_examples(host, help_path, media):
    faults = []
    root = read_patcher(help_path, faults)
    if root is None:
        return faults
    cls = {"name": "vorlo~"}
    media = os.path.abspath(media)
    for label, boxes, lines, _ in patchers(root, help_path):
        if not any(object_name(b) == cls["name"] for b in boxes):
            continue
        setup, instances = tab_script(boxes, lines, media)
        sent, _ = sent_to_class(boxes, lines, cls)
        for text, target in sent:
            messages = split_messages(text)
            script = setup + [f"{instances[target]} {m}" for m in messages] + ["wait"]
            run = subprocess.run([host, "-"], input="\n".join(script) + "\n", capture_output=True, text=True,
                                 timeout=300)
            fault = load_fault(run, instances[target], messages)
            if fault:
                faults.append(f"{label}: \"{text}\" does not load: {fault}")
    return faults


def main(argv):
    if len(argv) == 5 and argv[1] == "--load":
        faults = load_examples(argv[2], argv[3], argv[4])
        for fault in faults:
            print(fault)
        return 1 if faults else 0
    if len(argv) != 7:
        print(__doc__, file=sys.stderr)
        return 2
    with open(argv[1]) as f:
        cls = json.load(f)
    faults = []
    examples = readme_examples(argv[4], cls)
    if not examples:
        faults.append(f"{argv[4]}: no examples in its section \"Messages\"")
    check_package_info(argv[5], argv[2], faults)
    media = set(os.listdir(argv[6])) if os.path.isdir(argv[6]) else set()
    check_refpage(argv[3], cls, media, faults)
    check_help(argv[2], cls, examples, media, faults)
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
