#!/usr/bin/env python3
"""Writes the module's docstrings from the `///` comments of the C++ headers.

Usage: gen_docs.py OUTPUT HEADER...

Each `///` block belongs to the first name declared after it (a class, struct or
enumeration, the name before the first parenthesis, or the name of a constant); the first block of a name wins (a function's before a field's), so an
overload's own comment does not replace the main one. The output is a C++ header with
the table `kDocs` of name and text, the one source of the texts `help()` shows.
"""
import re
import sys

DECL = re.compile(r"([A-Za-z_][A-Za-z_0-9]*)\s*(\(|=)")
TYPE = re.compile(r"^(?:class|struct|enum)\s+(?:KRITZELWERK_EXPORT\s+)?([A-Za-z_][A-Za-z_0-9]*)")
SKIP = {"explicit", "void", "bool", "double", "int", "const", "static", "virtual",
        "constexpr", "operator", "template", "requires", "KRITZELWERK_EXPORT"}


def blocks(text):
    comment = []
    for line in text.splitlines():
        stripped = line.strip()
        if stripped.startswith("///") and not stripped.startswith("///<"):
            comment.append(stripped[3:].removeprefix(" "))
            continue
        if comment and stripped and TYPE.match(stripped):
            yield TYPE.match(stripped).group(1), "(", "\n".join(comment)
        elif comment and stripped:
            for m in DECL.finditer(stripped):
                if m.group(1) not in SKIP:
                    yield m.group(1), m.group(2), "\n".join(comment)
                    break
        if stripped:
            comment = []


def main():
    out, headers = sys.argv[1], sys.argv[2:]
    docs = {}
    for header in headers:
        with open(header, encoding="utf-8") as f:
            for name, kind, doc in blocks(f.read()):
                # A function's comment goes before a field's of the same name (the
                # turtle's x() before a point's x).
                if name not in docs or (docs[name][0] == "=" and kind == "("):
                    docs[name] = (kind, doc)
    with open(out, "w", encoding="utf-8") as f:
        f.write("// Generated from the headers' doc comments; do not edit.\n#pragma once\n\n")
        f.write("#include <string_view>\n#include <utility>\n\n")
        f.write("inline constexpr std::pair<std::string_view, std::string_view> kDocs[] = {\n")
        for name in sorted(docs):
            f.write(f'    {{"{name}", R"kwdoc({docs[name][1]})kwdoc"}},\n')
        f.write("};\n")


if __name__ == "__main__":
    main()
