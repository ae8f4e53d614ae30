#!/usr/bin/env python3
"""Assembles the main form forms/mainui.ui from the frame and the per-page pieces.

forms/mainui/frame.ui is the window with every page present but empty. Each forms/mainui/*.xml piece
fills one widget of the frame (a page or any other named container):

    <piece target="boosterTab">
      <widgets> ...the target's children: <widget>, <layout>, <property> elements... </widgets>
      <buttongroups> <buttongroup name="..."/> ... </buttongroups>    (optional)
      <customwidgets> <customwidget>...</customwidget> ... </customwidgets>  (optional)
    </piece>

Children are appended after what the frame already holds in the target; <property> elements
go before the target's children. Pieces are applied in file-name order; a piece may target a
widget that an earlier piece created.

    assemble-form.py          write forms/mainui.ui
    assemble-form.py --check  exit 1 when forms/mainui.ui differs from what the pieces give
"""
import glob
import os
import sys
import xml.etree.ElementTree as ET

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FORMS = os.path.join(ROOT, "forms")


def find_widget(tree, name):
    for w in tree.iter("widget"):
        if w.get("name") == name:
            return w
    # layouts can be targets too
    for w in tree.iter("layout"):
        if w.get("name") == name:
            return w
    return None


def section(root, tag):
    s = root.find(tag)
    if s is None:
        s = ET.SubElement(root, tag)
    return s


def assemble():
    tree = ET.parse(os.path.join(FORMS, "mainui", "frame.ui"))
    ui = tree.getroot()
    for path in sorted(glob.glob(os.path.join(FORMS, "mainui", "*.xml"))):
        piece = ET.parse(path).getroot()
        target_name = piece.get("target")
        target = find_widget(ui, target_name)
        if target is None:
            sys.exit("%s: no widget named %r in the form" % (os.path.basename(path), target_name))
        widgets = piece.find("widgets")
        if widgets is not None:
            props = [e for e in widgets if e.tag in ("property", "attribute")]
            rest = [e for e in widgets if e.tag not in ("property", "attribute")]
            # properties and attributes go after the target's own, before its children
            last_prop = -1
            for i, e in enumerate(list(target)):
                if e.tag in ("property", "attribute"):
                    last_prop = i
            for offset, e in enumerate(props):
                target.insert(last_prop + 1 + offset, e)
            for e in rest:
                target.append(e)
        groups = piece.find("buttongroups")
        if groups is not None and len(groups):
            dest = section(ui, "buttongroups")
            for g in groups:
                dest.append(g)
        customs = piece.find("customwidgets")
        if customs is not None and len(customs):
            dest = ui.find("customwidgets")
            if dest is None:
                # Designer expects <customwidgets> before <resources>
                dest = ET.Element("customwidgets")
                idx = list(ui).index(ui.find("resources")) if ui.find("resources") is not None else len(ui)
                ui.insert(idx, dest)
            known = {c.findtext("class") for c in dest}
            for c in customs:
                if c.findtext("class") not in known:
                    dest.append(c)
                    known.add(c.findtext("class"))
    ET.indent(tree, space=" ")
    return '<?xml version="1.0" encoding="UTF-8"?>\n' + ET.tostring(ui, encoding="unicode") + "\n"


def main():
    text = assemble()
    out = os.path.join(FORMS, "mainui.ui")
    if "--check" in sys.argv:
        with open(out, encoding="utf-8") as f:
            if f.read() != text:
                sys.exit("forms/mainui.ui is out of date: run scripts/assemble-form.py")
        return
    with open(out, "w", encoding="utf-8") as f:
        f.write(text)


if __name__ == "__main__":
    main()
