#!/usr/bin/env python3
"""Writes the code blocks of one language in a Markdown file to files of their
own, so that the documentation's programs are built and run like any other.

    extract_snippets.py MARKDOWN LANGUAGE OUT_DIR

A block is a fence whose info string is exactly LANGUAGE (```cpp, ```csharp,
```python, ```cmake). Block N (from 1) becomes OUT_DIR/<stem>_<N>.<ext>, where
<stem> is the Markdown file's name without its extension, lowercased; the
paths written are printed, one per line. A file whose text is unchanged is
not rewritten, so a build does not redo what it has done. Blocks of other
info strings (sh, text) are commands and output, not programs.
"""
import pathlib
import sys

EXTENSIONS = {"cpp": "cpp", "csharp": "cs", "python": "py", "cmake": "cmake"}


def blocks(text, language):
    found, current = [], None
    for line in text.splitlines(keepends=True):
        fence = line.strip()
        if current is None:
            if fence == "```" + language:
                current = []
        elif fence == "```":
            found.append("".join(current))
            current = None
        else:
            current.append(line)
    if current is not None:
        raise ValueError("a ```%s block is never closed" % language)
    return found


def main(argv):
    if len(argv) != 4 or argv[2] not in EXTENSIONS:
        sys.exit("usage: extract_snippets.py MARKDOWN {%s} OUT_DIR" % ",".join(EXTENSIONS))
    markdown, language, out = pathlib.Path(argv[1]), argv[2], pathlib.Path(argv[3])
    try:
        found = blocks(markdown.read_text(encoding="utf-8"), language)
    except ValueError as error:
        sys.exit("%s: %s" % (markdown, error))
    out.mkdir(parents=True, exist_ok=True)
    stem = markdown.stem.lower()
    for number, text in enumerate(found, 1):
        path = out / ("%s_%d.%s" % (stem, number, EXTENSIONS[language]))
        if not path.exists() or path.read_text(encoding="utf-8") != text:
            path.write_text(text, encoding="utf-8")
        print(path)


if __name__ == "__main__":
    main(sys.argv)
