#!/usr/bin/env bash
# A sample class graded by the installed grader (this build installed into a scratch
# prefix, run from there): each pupil's program gets the status and the kinds of difference
# its fault calls for; the hostile pupil's attempts fail inside the sandbox and leave the
# report and the others' results intact; one pupil graded alone and the report made from
# the results again give the same result file; without a sandbox the grader refuses.
#   klasse.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
here=$2/tests/vergleich

work=$(mktemp -d)
listener=
trap '[ -z "$listener" ] || kill "$listener" 2>/dev/null; rm -rf "$work"' EXIT
# The sandbox's users pass through to their own folders; the others may not read them.
chmod 755 "$work"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM KRITZEL_OUTPUT_DIR KRITZEL_DRAWINGS KRITZEL_ANSWERS
cmake --install "$build" --prefix "$work/prefix" >/dev/null
grader=$work/prefix/bin/kritzelwerk-vergleich
fail() { echo "vergleich_klasse: $*" >&2; exit 1; }

# The class, with the hostile pupil aimed at this run's solution, report and neighbours, and
# at a port that listens outside the sandbox.
cp -r "$here/klasse" "$work/abgaben"
# A pupil who handed in an empty folder is listed all the same.
mkdir "$work/abgaben/Otto Leer"
cp "$here/loesung.cpp" "$work/loesung.cpp"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 -c '
import socket, sys
s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("127.0.0.1", int(sys.argv[1]))); s.listen()
s.accept(); open(sys.argv[2], "w").write("reached")' "$port" "$work/erreicht" &
listener=$!
sed -i -e "s|@SOLUTION@|$work/loesung.cpp|" -e "s|@REPORT@|$work/bericht|" \
    -e "s|@OUTSIDE@|$work/abgaben|" -e "s|@OTHER@|$work/abgaben/Anna Müller.cpp|" \
    -e "s|@PORT@|$port|" "$work/abgaben/Kai Böse.cpp"

status=0
"$grader" --nur-ergebnisse "$work/loesung.cpp" "$work/abgaben/Carla Kurz.cpp" -o "$work/einzeln" \
    --zeit 5 --bestanden 99 >"$work/einzeln.txt" 2>&1 &
beside=$!
# A strict teacher: every side right, so one side half a centimetre short fails.
"$grader" "$work/loesung.cpp" "$work/abgaben" -o "$work/bericht" --zeit 5 --eingabe 4 --bestanden 99 \
    >"$work/out.txt" 2>&1 || status=$?
single=0
wait "$beside" || single=$?
[ "$status" = 0 ] || { cat "$work/out.txt" >&2; fail "the grader ended with status $status"; }

python3 - "$work/bericht" <<'PY'
import json, pathlib, sys
report = pathlib.Path(sys.argv[1])
results = {p.stem: json.loads(p.read_text(encoding="utf-8")) for p in report.glob("*.json")}
problems = []
def check(name, cond, what):
    if not cond:
        r = results.get(name, {})
        problems.append(f"{name}: {what} (status {r.get('status')}, result {r.get('result')!r}, "
                        f"score {r.get('score')}, kinds {[d['kind'] for d in r.get('differences', [])]})")
def kinds(name):
    return {d["kind"] for d in results[name]["differences"]}

expected = ["Anna Müller", "Bernd Bogen", "Carla Kurz", "Dieter Farbe", "Emil Spiegel",
            "Frieda Extra", "Gustav Schleife", "Hanna Absturz", "Ida Fehler", "Jonas Frage",
            "Kai Böse", "Lena Projekt", "Mia Python", "Nina Wurf", "Otto Leer"]
if sorted(results) != expected:
    sys.exit(f"vergleich_klasse: results {sorted(results)}, not one per pupil")
# Equivalent drawings pass: another order and direction, an arc of short steps, a CMake
# project, a question answered by --eingabe, and a Python script.
for name in ["Anna Müller", "Bernd Bogen", "Lena Projekt", "Jonas Frage", "Mia Python"]:
    r = results[name]
    check(name, r["status"] == "graded" and r["passed"] and r["result"] == "bestanden", "should pass")
    check(name, r["pixel_share"] is not None and r["pixel_share"] < 0.2, "pixels should mostly match")
    check(name, all(r["images"][k] for k in ("solution", "drawing", "overlay")), "pictures missing")
# Faults are graded, named, and fail.
for name, kind in [("Carla Kurz", "short-side"), ("Dieter Farbe", "colour"),
                   ("Emil Spiegel", "missing-line"), ("Frieda Extra", "extra-line")]:
    r = results[name]
    check(name, r["status"] == "graded" and not r["passed"] and r["result"] == "nicht bestanden",
          "should be graded as not passed")
    check(name, kind in kinds(name), f"no difference of kind {kind}")
check("Emil Spiegel", results["Emil Spiegel"]["score"] < results["Carla Kurz"]["score"],
      "a mirror image should score below one short side")
check("Frieda Extra", "missing-line" not in kinds("Frieda Extra"), "an extra line misses nothing")
check("Gustav Schleife", results["Gustav Schleife"]["status"] == "timeout"
      and results["Gustav Schleife"]["result"] == "Zeitlimit", "should hit the time limit")
check("Hanna Absturz", results["Hanna Absturz"]["status"] == "crashed"
      and results["Hanna Absturz"]["result"] == "abgestürzt: Signal 11", "should crash with signal 11")
check("Ida Fehler", results["Ida Fehler"]["status"] == "build-failed"
      and results["Ida Fehler"]["result"] == "Übersetzungsfehler"
      and "Ida Fehler.cpp:" in results["Ida Fehler"]["log"] and "error" in results["Ida Fehler"]["log"],
      "should fail to build, with the compiler's message")
for name in results:
    check(name, results[name]["score"] is None or 0 <= results[name]["score"] <= 100, "score out of range")
    r = results[name]
    texts = [r["log"], r["result"]] + [d["text"] for d in r["differences"]]
    check(name, not any("/tmp/kritzelwerk-vergleich-" in t for t in texts), "a text names the work folder")
# A repaint that threw: the program's own message, as it reported it first.
check("Nina Wurf", results["Nina Wurf"]["status"] == "failed"
      and results["Nina Wurf"]["result"] == "Hilfe, zu weit!", "should fail with its exception's message")
check("Otto Leer", results["Otto Leer"]["status"] == "no-submission"
      and results["Otto Leer"]["result"] == "keine Abgabe" and results["Otto Leer"]["score"] is None,
      "should be listed as no submission")
# A pupil's program not graded is still set beside the solution.
for name in ["Gustav Schleife", "Ida Fehler", "Otto Leer"]:
    check(name, results[name]["images"]["solution"], "the solution's picture is missing")
# The error output is shown where a program was not graded, not for a correct one.
page = (report / "index.html").read_text(encoding="utf-8")
sections = {s.split("<h2>", 1)[1].split(" <span", 1)[0]: s for s in page.split('<section id="p')[1:]}
check("Anna Müller", "<pre>" not in sections["Anna Müller"], "a correct pupil's section shows an error output")
check("Ida Fehler", "<pre>" in sections["Ida Fehler"], "the compiler's message is not shown")
# The hostile pupil: every attempt was refused, and the fork bomb ended with the clock.
kai = results["Kai Böse"]
for attempt in ["Lösung lesen", "Bericht schreiben", "andere Abgabe lesen", "Netz"]:
    check("Kai Böse", f"{attempt}: verwehrt" in kai["log"], f"{attempt} was not refused")
check("Kai Böse", kai["status"] == "timeout", "the fork bomb should end with the time limit")
if problems:
    sys.exit("vergleich_klasse:\n  " + "\n  ".join(problems))
PY

# Nothing of the hostile pupil reached the host, and the report is whole.
[ ! -e "$work/erreicht" ] || fail "the hostile program reached a port outside the sandbox"
if find "$work/bericht" "$work/abgaben" "$work/prefix" -name 'boese-war-hier.txt' | grep -q .; then
    fail "the hostile program wrote outside its folder"
fi
cmp -s "$here/klasse/Anna Müller.cpp" "$work/abgaben/Anna Müller.cpp" || fail "a submission was changed"
grep -q "Kai Böse" "$work/bericht/index.html" || fail "the report does not list every pupil"
[ "$(wc -l <"$work/bericht/ergebnisse.csv")" -eq 16 ] || fail "ergebnisse.csv has not one line per pupil"
grep -q "^14 Abgaben: 5 bestanden, 9 nicht bestanden, 1 ohne Abgabe; " "$work/out.txt" ||
    { cat "$work/out.txt" >&2; fail "no summary line"; }

# One pupil graded alone, the report made from its result: the same result, apart from times.
# It was graded by a second grader running beside the class's (as a fan-out on one machine
# runs them): neither may end the other's programs.
[ "$single" = 0 ] || { cat "$work/einzeln.txt" >&2; fail "grading one pupil alone failed"; }
[ ! -e "$work/einzeln/index.html" ] || fail "--nur-ergebnisse wrote a report"
"$grader" --bericht "$work/einzeln" >/dev/null 2>&1 || fail "--bericht failed"
[ -s "$work/einzeln/index.html" ] || fail "--bericht wrote no report"
mkdir "$work/leer"
status=0
"$grader" --bericht "$work/leer" >"$work/leer.txt" 2>&1 || status=$?
[ "$status" = 2 ] && [ ! -e "$work/leer/index.html" ] || fail "--bericht made a report of no results"
without_times() { grep -v -E '"(build|run|compare)":' "$1"; }
diff <(without_times "$work/bericht/Carla Kurz.json") <(without_times "$work/einzeln/Carla Kurz.json") >&2 ||
    fail "one pupil graded alone differs from the same pupil graded with the class"

# Where bubblewrap cannot make a sandbox, the grader says so and refuses.
mkdir "$work/kein-bwrap"
printf '#!/bin/sh\necho "bwrap: No permissions to create new namespace" >&2\nexit 1\n' >"$work/kein-bwrap/bwrap"
chmod +x "$work/kein-bwrap/bwrap"
status=0
PATH=$work/kein-bwrap:$PATH "$grader" "$work/loesung.cpp" "$work/abgaben/Carla Kurz.cpp" \
    -o "$work/ohne" >"$work/ohne.txt" 2>&1 || status=$?
[ "$status" = 2 ] && grep -q -- "--ohne-sandbox" "$work/ohne.txt" && grep -q "namespace" "$work/ohne.txt" ||
    { cat "$work/ohne.txt" >&2; fail "without a sandbox the grader did not refuse (status $status)"; }
[ ! -e "$work/ohne/Carla Kurz.json" ] || fail "the grader graded without a sandbox"
# A saved drawing of the control's metafile device (.wmf holding EMF records) is read as an
# EMF; a real placeable Windows metafile is refused by name. Both before anything is built.
printf '\327\315\306\232\0\0\0\0' >"$work/fremd.wmf"
status=0
mkdir "$work/tmp"
# Without a session the grader makes a runtime folder of its own, and removes it.
XDG_RUNTIME_DIR= TMPDIR=$work/tmp "$grader" "$work/fremd.wmf" "$work/abgaben/Carla Kurz.cpp" -o "$work/fremd" >"$work/fremd.txt" 2>&1 || status=$?
[ "$status" = 2 ] && grep -q "Windows-Metafile (WMF), kein EMF" "$work/fremd.txt" ||
    { cat "$work/fremd.txt" >&2; fail "a placeable WMF was not refused by name (status $status)"; }
XDG_RUNTIME_DIR= TMPDIR=$work/tmp "$grader" -h >"$work/hilfe.txt" 2>&1
grep -q "^Aufruf: .*\[Optionen\]" "$work/hilfe.txt" && grep -q "^Optionen:" "$work/hilfe.txt" ||
    { cat "$work/hilfe.txt" >&2; fail "the help is not German"; }
[ -z "$(ls -A "$work/tmp")" ] || fail "the grader left $(ls "$work/tmp") behind"
printf ' \0\0\0' >"$work/kurz.wmf"
status=0
"$grader" "$work/kurz.wmf" "$work/abgaben/Carla Kurz.cpp" -o "$work/kurz" >"$work/kurz.txt" 2>&1 || status=$?
[ "$status" = 2 ] && grep -q "kurz.wmf: " "$work/kurz.txt" && ! grep -q "CMakeLists.txt" "$work/kurz.txt" ||
    { cat "$work/kurz.txt" >&2; fail "a .wmf was not read as an EMF (status $status)"; }
echo "vergleich_klasse: 15 pupils graded as expected; the hostile one was confined"
