#!/usr/bin/env python3
"""Checks the pages of an HTML export folder: every local href, src and frame source names a
file that exists, every "#" target (percent-decoded) an anchor of that file; the pages' text
holds each --text given (escapes undone) and their anchors each --anchor given.  Prints one line
per fault and exits with status 1 when there is one.

    check_html.py FOLDER [--text T]... [--anchor A]...
"""
import html.parser
import os
import sys
import urllib.parse


class Page(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.text = []
        self.anchors = set()
        self.targets = []

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if tag == "a" and "name" in attrs:
            self.anchors.add(attrs["name"])
        for key in ("href", "src"):
            if key in attrs and attrs[key] is not None:
                self.targets.append(attrs[key])

    def handle_data(self, data):
        self.text.append(data)


def main(argv):
    folder = argv[1]
    texts, anchors = [], []
    i = 2
    while i + 1 < len(argv):
        (texts if argv[i] == "--text" else anchors).append(argv[i + 1])
        i += 2
    pages = {}
    for name in sorted(os.listdir(folder)):
        if name.endswith(".html"):
            page = Page()
            with open(os.path.join(folder, name), encoding="cp1252") as f:
                page.feed(f.read())
            page.close()
            pages[name] = page
    faults = []
    for name, page in pages.items():
        for target in page.targets:
            if "://" in target:
                continue
            path, _, fragment = target.partition("#")
            path = urllib.parse.unquote(path) or name
            if not os.path.exists(os.path.join(folder, path)):
                faults.append(f"{name}: {target!r} names no file")
                continue
            if fragment:
                anchor = urllib.parse.unquote(fragment)
                if path not in pages or anchor not in pages[path].anchors:
                    faults.append(f"{name}: {target!r} names no anchor of {path}")
    all_text = "".join("".join(p.text) for p in pages.values())
    for t in texts:
        if t not in all_text:
            faults.append(f"text {t!r} is not in any page")
    all_anchors = set().union(*(p.anchors for p in pages.values())) if pages else set()
    for a in anchors:
        if a not in all_anchors:
            faults.append(f"anchor {a!r} does not parse back")
    for f in faults:
        print(f)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
