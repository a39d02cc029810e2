#!/usr/bin/env bash
# A generated class of 30 C++ submissions graded end to end by the installed grader: the
# demo's house lesson as the solution; ten pupils draw it as it is, sixteen with one
# number a little off, four hand in another of the demo's lessons. Prints the time of the
# whole run, per submission, and per stage (build, run, compare) from the results.
#   bench/vergleich_klasse.sh [BUILD_DIR]   (default: build; this tree built first)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM KRITZEL_OUTPUT_DIR KRITZEL_DRAWINGS KRITZEL_ANSWERS
cmake --install "$build" --prefix "$work/prefix" >/dev/null

python3 - "$here/examples/demo/Lessons.cpp" "$work" <<'PY'
import pathlib, re, sys
source = pathlib.Path(sys.argv[1]).read_text(encoding="utf-8")
work = pathlib.Path(sys.argv[2])
def function(name):
    match = re.search(r"^void %s\(TTurtle& t\) \{\n.*?^\}\n" % name, source, re.S | re.M)
    return match.group(0)
def program(body, name):
    return ("#include <kritzelwerk/Turtle.h>\n#include <cmath>\nusing namespace kritzel;\n\n"
            "static bool Stopped(TTurtle& t) { return t.EscPressed(); }\n\n"
            + body.replace("void %s(" % name, "static void Draw(") +
            "\nint main(int argc, char** argv) {\n    TApplication app(argc, argv);\n"
            "    TForm form(\"Haus\");\n    TTurtle turtle(&form);\n"
            "    turtle.SetOnStartPaint([&] { Draw(turtle); });\n    form.Show();\n"
            "    return app.Run();\n}\n")
house = function("House")
(work / "loesung.cpp").write_text(program(house, "House"), encoding="utf-8")
pupils = work / "abgaben"
pupils.mkdir()
numbers = list(re.finditer(r"(?<![\w.])\d+\.\d+(?![\w.])", house))
others = ["Star", "SquareSpiral", "ColourCircles", "WholeArea"]
for i in range(30):
    if i < 10:
        body, name = house, "House"
    elif i < 26:
        # one decimal number of the lesson half a centimetre (or degree) off
        n = numbers[(i - 10) % len(numbers)]
        body = house[:n.start()] + "%g" % (float(n.group(0)) + 0.5) + house[n.end():]
        name = "House"
    else:
        name = others[i - 26]
        body = function(name)
    (pupils / ("Schüler %02d.cpp" % (i + 1))).write_text(program(body, name), encoding="utf-8")
PY

start=$(date +%s.%N)
status=0
"$work/prefix/bin/kritzelwerk-vergleich" "$work/loesung.cpp" "$work/abgaben" -o "$work/bericht" \
    >"$work/out.txt" 2>&1 || status=$?
end=$(date +%s.%N)
tail -1 "$work/out.txt"
[ "$status" = 0 ] || { cat "$work/out.txt" >&2; echo "the grader ended with status $status" >&2; exit 1; }
python3 - "$work/bericht" "$start" "$end" "$(nproc)" <<'PY'
import json, pathlib, sys
results = [json.loads(p.read_text(encoding="utf-8")) for p in pathlib.Path(sys.argv[1]).glob("*.json")]
whole = float(sys.argv[3]) - float(sys.argv[2])
n = len(results)
stage = {k: sum(r["seconds"][k] for r in results) for k in ("build", "run", "compare")}
statuses = {}
for r in results:
    statuses[r["result"]] = statuses.get(r["result"], 0) + 1
print(f"{n} submissions on {sys.argv[4]} cores: {whole:.1f} s in all, {whole / n:.2f} s per submission")
print("per submission, summed over the jobs: " +
      ", ".join(f"{k} {v / n:.2f} s" for k, v in stage.items()))
print("results: " + ", ".join(f"{k}: {v}" for k, v in sorted(statuses.items())))
PY
