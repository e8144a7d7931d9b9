#!/usr/bin/env python3
"""Checks that a page is well-formed HTML5 that reads without scripts.

Usage: html_check.py PAGE.htm
Prints one line per problem and exits 1 when there is one, else prints "ok" and exits 0. The checks:
the HTML5 doctype first; every element closed in order (void elements excepted) and nothing left
open; <html lang>, one <head> with <meta charset="utf-8"> and a non-empty <title>, one <body>;
no <script>, no event-handler attributes, no javascript: addresses; every <img> with src, alt,
width and height; ids unique; only entities that HTML defines; UTF-8 text.
"""
import html.entities
import html.parser
import sys

VOID = {"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta", "source", "track", "wbr"}
# Elements whose end tag HTML lets a page leave out are still written out by the writer; none is
# optional here.


class Checker(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=False)
        self.problems = []
        self.stack = []
        self.ids = set()
        self.doctype = None
        self.first = True
        self.counts = {}
        self.title = ""
        self.in_title = False
        self.charset = False

    def problem(self, text):
        line, column = self.getpos()
        self.problems.append(f"{line}:{column}: {text}")

    def handle_decl(self, decl):
        if not self.first:
            self.problem("doctype not at the start")
        self.doctype = decl
        self.first = False

    def handle_starttag(self, tag, attrs):
        if self.first:
            self.problem("no doctype before the first element")
            self.first = False
        self.counts[tag] = self.counts.get(tag, 0) + 1
        a = dict(attrs)
        if tag == "script":
            self.problem("a script")
        for name, value in attrs:
            if name.startswith("on"):
                self.problem(f"event handler attribute {name}")
            if name in ("href", "src") and value and value.strip().lower().startswith("javascript:"):
                self.problem("a javascript: address")
        if "id" in a:
            if a["id"] in self.ids:
                self.problem(f"id {a['id']} used twice")
            self.ids.add(a["id"])
        if tag == "html" and not a.get("lang"):
            self.problem("<html> without lang")
        if tag == "meta" and a.get("charset", "").lower() == "utf-8":
            self.charset = True
        if tag == "img":
            for needed in ("src", "alt", "width", "height"):
                if needed not in a:
                    self.problem(f"<img> without {needed}")
            for size in ("width", "height"):
                if size in a and not (a[size] or "").isdigit():
                    self.problem(f"<img> {size} is not a whole number")
        if tag == "title":
            self.in_title = True
        if tag not in VOID:
            self.stack.append(tag)

    def handle_startendtag(self, tag, attrs):
        if tag not in VOID:
            self.problem(f"<{tag}/> is not a void element")
        self.handle_starttag(tag, attrs)
        if tag not in VOID:
            self.stack.pop()

    def handle_endtag(self, tag):
        if tag in VOID:
            self.problem(f"end tag of void element {tag}")
            return
        if not self.stack or self.stack[-1] != tag:
            self.problem(f"</{tag}> closes {self.stack[-1] if self.stack else 'nothing'}")
            if tag in self.stack:
                while self.stack and self.stack.pop() != tag:
                    pass
            return
        self.stack.pop()
        if tag == "title":
            self.in_title = False

    def handle_data(self, data):
        if self.in_title:
            self.title += data
        if data.strip() and not self.stack:
            self.problem("text outside <html>")

    def handle_entityref(self, name):
        if name + ";" not in html.entities.html5:
            self.problem(f"unknown entity &{name};")
        if self.in_title:
            self.title += "&"

    def handle_charref(self, name):
        pass


def main():
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    raw = open(sys.argv[1], "rb").read()
    try:
        text = raw.decode("utf-8")
    except UnicodeDecodeError as error:
        print(f"not UTF-8: {error}")
        return 1
    checker = Checker()
    checker.feed(text)
    checker.close()
    if (checker.doctype or "").lower() != "doctype html":
        checker.problems.append(f"doctype is {checker.doctype!r}, not 'DOCTYPE html'")
    if checker.stack:
        checker.problems.append("left open: " + " ".join(checker.stack))
    for tag in ("html", "head", "body", "title"):
        if checker.counts.get(tag, 0) != 1:
            checker.problems.append(f"{checker.counts.get(tag, 0)} <{tag}> elements")
    if not checker.title.strip():
        checker.problems.append("empty title")
    if not checker.charset:
        checker.problems.append('no <meta charset="utf-8">')
    for p in checker.problems:
        print(p)
    if checker.problems:
        return 1
    print("ok")
    return 0


if __name__ == "__main__":
    sys.exit(main())
