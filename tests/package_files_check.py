#!/usr/bin/env python3
"""Checks the Max package's help patcher and reference page against what the class registers.

    package_files_check.py CLASS.json HELP.maxhelp REF.maxref.xml README.md PACKAGE-INFO.json

CLASS.json describes the class as the headless host found it: its messages with their
argument types, its attributes with their types and defaults, its inlets and outlets.
Prints one line per fault and exits 1 when there is any, 0 otherwise.
"""
import json
import shlex
import sys
import xml.etree.ElementTree as ET

A_CANT = 9  # a method that the host calls itself, never sent from a patcher

# Objects the help patcher may hold besides the class itself: inlets and outlets.
NEWOBJ_PORTS = {"buffer~": (1, 2), "dict": (2, 4), "print": (1, 0)}
UI_PORTS = {"message": (2, 1), "comment": (1, 0), "button": (1, 1), "attrui": (1, 1), "dict.view": (1, 0)}


def same_value(documented, registered):
    try:
        return abs(float(documented) - float(registered)) < 1e-6
    except ValueError:
        return documented == registered


def check_refpage(path, cls, faults):
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
    return NEWOBJ_PORTS.get(name) if box["maxclass"] == "newobj" else UI_PORTS.get(name)


def split_messages(text):
    return [m.strip() for m in text.split(",") if m.strip()]


def read_patcher(path, faults):
    try:
        with open(path) as f:
            patcher = json.load(f)["patcher"]
        return [b["box"] for b in patcher["boxes"]], [l["patchline"] for l in patcher["lines"]]
    except (OSError, ValueError, KeyError, TypeError) as e:
        faults.append(f"{path}: not a patcher: {e!r}")
        return None, None


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


# What the help patcher sends the object: message box texts and attrui attributes.
def sent_to_class(boxes, lines, cls):
    by_id = {b.get("id"): b for b in boxes}
    targets = {b["id"] for b in boxes if object_name(b) == cls["name"]}
    messages, attributes = [], set()
    for l in lines:
        src, dst = by_id.get(l["source"][0]), l["destination"][0]
        if src is None or dst not in targets or l["destination"][1] != 0:
            continue
        if src["maxclass"] == "message":
            messages += split_messages(src.get("text", ""))
        elif src["maxclass"] == "attrui":
            attributes.add(src.get("attr"))
    return messages, attributes


def check_help(path, cls, readme_messages, faults):
    boxes, lines = read_patcher(path, faults)
    if boxes is None:
        return
    check_boxes(path, boxes, cls, faults)
    check_lines(path, boxes, lines, cls, faults)
    objects = [b for b in boxes if object_name(b) == cls["name"]]
    if not objects:
        faults.append(f"{path}: no {cls['name']} box")
        return
    buffers, dicts = named_objects(boxes, "buffer~"), named_objects(boxes, "dict")
    words = objects[0]["text"].split()
    if len(words) < 2 or words[1] not in buffers:
        faults.append(f"{path}: the {cls['name']} box names no buffer~ of the patcher")
    if "@metadatadict" in words and words[words.index("@metadatadict") + 1] not in dicts:
        faults.append(f"{path}: the metadatadict of the {cls['name']} box is no dict of the patcher")
    messages, attrui = sent_to_class(boxes, lines, cls)
    sendable = {m["name"] for m in cls["messages"] if m["types"] != [A_CANT]}
    attributes = {a["name"] for a in cls["attributes"]}
    for m in messages:
        selector = m.split()[0]
        if selector not in sendable | attributes:
            faults.append(f"{path}: message \"{m}\" is not one that {cls['name']} understands")
        for word in m.split()[1:]:
            if word.startswith("buffer=") and word[7:] not in buffers:
                faults.append(f"{path}: message \"{m}\" names a buffer~ that the patcher lacks")
            if word.startswith("dict=") and word[5:] not in dicts:
                faults.append(f"{path}: message \"{m}\" names a dict that the patcher lacks")
    for name in attrui - attributes:
        faults.append(f"{path}: an attrui shows {name}, which {cls['name']} does not have")
    selectors = {m.split()[0] for m in messages}
    for name in sorted(sendable - selectors):
        faults.append(f"{path}: no message box sends {name}")
    for name in sorted(attributes - attrui - selectors):
        faults.append(f"{path}: attribute {name} has neither an attrui nor a message box")
    for outlet in range(cls["outlets"]):
        if not any(l["source"] == [o["id"], outlet] for o in objects for l in lines):
            faults.append(f"{path}: outlet {outlet} of {cls['name']} is connected to nothing")
    for m in readme_messages:
        if m not in messages:
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


def main(argv):
    if len(argv) != 6:
        print(__doc__, file=sys.stderr)
        return 2
    with open(argv[1]) as f:
        cls = json.load(f)
    faults = []
    examples = readme_examples(argv[4], cls)
    if not examples:
        faults.append(f"{argv[4]}: no examples in its section \"Messages\"")
    check_package_info(argv[5], argv[2], faults)
    check_refpage(argv[3], cls, faults)
    check_help(argv[2], cls, examples, faults)
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
