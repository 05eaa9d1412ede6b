#!/usr/bin/env python3
"""Draws one tab of a Max help patcher as an SVG picture, from the patcher's own boxes and
patch lines, so that the picture shows what the file holds:

    help-picture.py HELP.maxhelp TAB > PICTURE.svg

TAB is the name of the subpatcher shown on the tab (`p basic` is tab "basic")."""
import json
import sys
from xml.sax.saxutils import escape

PORT_W, PORT_H = 7, 3
CHAR_W, LINE_H = 6.6, 15          # Arial 12 in a patcher, near enough
MARGIN = 10


def find_tab(patcher, name):
    for b in patcher["boxes"]:
        box = b["box"]
        if "patcher" in box and box.get("text", "").split()[1:] == [name]:
            return box["patcher"]
    raise SystemExit(f"no tab {name}")


def port_x(rect, index, count):
    x, _, w, _ = rect
    return x + PORT_W / 2 + (0 if count < 2 else index * (w - PORT_W) / (count - 1))


def wrapped(text, width):
    lines, line = [], ""
    for word in text.split():
        if line and (len(line) + 1 + len(word)) * CHAR_W > width:
            lines.append(line)
            line = word
        else:
            line = f"{line} {word}" if line else word
    return lines + [line] if line else lines


def text_lines(x, y, lines, size=12, weight="normal"):
    return "".join(f'<text x="{x:.1f}" y="{y + size + i * LINE_H:.1f}" font-size="{size}" font-weight="{weight}">'
                   f"{escape(line)}</text>" for i, line in enumerate(lines))


def draw_box(box):
    kind, (x, y, w, h) = box["maxclass"], box["patching_rect"]
    text = box.get("text", "")
    if kind == "comment":
        size = int(box.get("fontsize", 12))
        shown = text_lines(x + 4, y + 2, wrapped(text, w - 8), size, "bold" if box.get("fontface") else "normal")
        if box.get("bubble"):
            return f'<rect x="{x}" y="{y}" width="{w}" height="{h}" rx="8" class="bubble"/>' + shown
        return shown
    parts = [f'<rect x="{x}" y="{y}" width="{w}" height="{h}" rx="{4 if kind == "message" else 2}" class="{kind if kind in ("message", "newobj", "dropfile") else "ui"}"/>']
    if kind in ("newobj", "message"):
        parts.append(text_lines(x + 4, y + 3, [text]))
    elif kind == "button":
        parts.append(f'<circle cx="{x + w / 2}" cy="{y + h / 2}" r="{w / 2 - 4}" class="mark"/>')
    elif kind == "toggle":
        parts.append(f'<path d="M{x + 5} {y + 5}L{x + w - 5} {y + h - 5}M{x + w - 5} {y + 5}L{x + 5} {y + h - 5}" class="cross"/>')
    elif kind == "ezdac~":
        parts.append(f'<circle cx="{x + w / 2}" cy="{y + h / 2}" r="{w / 2 - 6}" class="mark"/>')
    elif kind == "waveform~":
        parts.append(text_lines(x + 6, y + 4, [f"waveform~ {box.get('buffername', '')}"]))
    elif kind != "dropfile":
        parts.append(text_lines(x + 6, y + 4, [kind]))
    for i in range(box.get("numinlets", 0)):
        parts.append(f'<rect x="{port_x(box["patching_rect"], i, box["numinlets"]) - PORT_W / 2:.1f}" y="{y}" '
                     f'width="{PORT_W}" height="{PORT_H}" class="port"/>')
    for i in range(box.get("numoutlets", 0)):
        parts.append(f'<rect x="{port_x(box["patching_rect"], i, box["numoutlets"]) - PORT_W / 2:.1f}" '
                     f'y="{y + h - PORT_H}" width="{PORT_W}" height="{PORT_H}" class="port"/>')
    return "".join(parts)


def draw_line(line, boxes):
    (src, outlet), (dst, inlet) = line["source"], line["destination"]
    a, b = boxes[src], boxes[dst]
    x1, y1 = port_x(a["patching_rect"], outlet, a["numoutlets"]), a["patching_rect"][1] + a["patching_rect"][3]
    x2, y2 = port_x(b["patching_rect"], inlet, b["numinlets"]), b["patching_rect"][1]
    signal = (a.get("outlettype") or [""] * (outlet + 1))[outlet] == "signal"
    return f'<line x1="{x1:.1f}" y1="{y1:.1f}" x2="{x2:.1f}" y2="{y2:.1f}" class="{"signal" if signal else "cord"}"/>'


def picture(patcher):
    boxes = {b["box"]["id"]: b["box"] for b in patcher["boxes"]}
    right = max(b["patching_rect"][0] + b["patching_rect"][2] for b in boxes.values()) + MARGIN
    bottom = max(b["patching_rect"][1] + b["patching_rect"][3] for b in boxes.values()) + MARGIN
    style = ("text{font-family:Arial,Helvetica,sans-serif;fill:#222}"
             ".newobj,.message,.ui{stroke:#555;stroke-width:1}.newobj{fill:#f4f4f4}.message{fill:#dde3ea}"
             ".ui,.dropfile{fill:#fafafa}.dropfile{stroke:#555;stroke-dasharray:4 3}.bubble{fill:#fff8d8;stroke:#d8c878}.port{fill:#555}"
             ".mark,.cross{fill:none;stroke:#555;stroke-width:1.5}"
             ".cord{stroke:#333;stroke-width:1.2}.signal{stroke:#b89a10;stroke-width:2.5}")
    out = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{right:.0f}" height="{bottom:.0f}" '
           f'viewBox="0 0 {right:.0f} {bottom:.0f}">', f"<style>{style}</style>",
           f'<rect width="{right:.0f}" height="{bottom:.0f}" fill="#ffffff"/>']
    out += [draw_box(b) for b in boxes.values()]
    out += [draw_line(l["patchline"], boxes) for l in patcher["lines"]]
    return "\n".join(out) + "\n</svg>\n"


def main(argv):
    if len(argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    with open(argv[1]) as f:
        sys.stdout.write(picture(find_tab(json.load(f)["patcher"], argv[2])))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
