#!/usr/bin/env python3
"""The keys and flags that nivelo.1 and the README document against those the
program knows: the key table of config/grammar.cpp and the usage text that
nivelo prints.

    man_page_test.py NIVELO SOURCE_DIR

Both ways: a key the grammar reads is documented in the manual page and in
the README's configuration table, and neither names a key the grammar
lacks; a flag of the usage text is in the manual page, and the manual page
names no flag that the usage text lacks.
"""
import os
import re
import subprocess
import sys
import tempfile

FLAG = r"/[a-z?]|-h|--help"


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def main():
    nivelo, root = os.path.abspath(sys.argv[1]), sys.argv[2]
    grammar = read(os.path.join(root, "config/grammar.cpp"))
    table = grammar[grammar.index("kConfigKeys"):]
    keys = set(re.findall(r'\{"([A-Z0-9_]+)", VALUE_', table[:table.index("};")]))
    page = read(os.path.join(root, "man/nivelo.1"))
    page_keys = set(re.findall(r"^\.It Cm ([A-Z][A-Z0-9_]+) Ns =", page, re.M))
    readme_keys = set(re.findall(r"^\| ([A-Z][A-Z0-9_]+) \|", read(os.path.join(root, "README.md")), re.M))
    page_flags = {word for line in re.findall(r"^\.It Cm (.*)", page, re.M)
                  for word in line.split() if re.fullmatch(FLAG, word)}
    with tempfile.TemporaryDirectory() as empty:  # no config.txt to read
        usage = "".join(subprocess.run([nivelo] + args, cwd=empty, stdout=subprocess.PIPE,
                                       stderr=subprocess.STDOUT, text=True, timeout=30).stdout
                        for args in ([], ["--help"]))
    # "  /c<fichier> : ...", "  -h, --help, /? : ...": the flags before the colon.
    usage_flags = {re.match(FLAG, word).group() for left in re.findall(r"^\s+([-/].*?) : ", usage, re.M)
                   for word in left.split(", ") if re.match(FLAG, word)}
    faults = []
    for what, missing in (("keys of the grammar missing from nivelo.1", keys - page_keys),
                          ("keys in nivelo.1 that the grammar lacks", page_keys - keys),
                          ("keys of the grammar missing from the README's table", keys - readme_keys),
                          ("keys in the README's table that the grammar lacks", readme_keys - keys),
                          ("flags of the usage text missing from nivelo.1", usage_flags - page_flags),
                          ("flags in nivelo.1 missing from the usage text", page_flags - usage_flags)):
        if missing:
            faults.append("%s: %s" % (what, " ".join(sorted(missing))))
    if not keys or not usage_flags:
        faults.append("no keys or no flags found: the patterns of this test need updating")
    print("\n".join(faults) or "%d keys, %d flags documented" % (len(keys), len(usage_flags)))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
