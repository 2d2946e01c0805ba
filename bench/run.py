#!/usr/bin/env python3
"""Benchmark suite: vorn side by side with its peers in one run.

Generates the inputs (never committed) in the build directory, measures
every case several times after a warm-up, alternating vorn and the peer so
that both see the same machine load, and prints one table of medians and
spreads, and of ratios (vorn time / peer time) taken round by round: the
median of the rounds' ratios and half their range.  Interactive cases run
the real pager in a pseudo-terminal through the bench driver, timed from
the key to the expected screen; a floor command (grep, wc -l) is timed by
its own work, its run on an empty input taken off.  Beside the wall-time ratio it gives the ratio of
processor times, which a loaded machine disturbs far less (the pager, the
driver and the terminal take turns, each waking up on a busy scheduler).
--json FILE also writes the table as JSON.

Sizes: VORN_BENCH_SIZE (bytes, or with a K/M/G suffix) sets the size of the
main inputs (1G by default); --quick uses small inputs and fewer runs.
"""
import argparse
import json
import os
import statistics
import subprocess
import sys
import time

LINE_BODY = " the quick brown fox jumps over the lazy dog again\n"
LINE_LEN = 10 + len(LINE_BODY)      # "000000001" + body
# The last line of every text: what a search finds, also for an expression
# whose only literal (x) is on every line.
LAST_LINE = "NEEDLE at the end 123x4\n"
# The last line of the UTF-8 texts: a needle of characters beyond ASCII too.
UTF8_NEEDLE = "\u7d42\u7aef\u672b\u5c3e"
UTF8_LAST_LINE = "NEEDLE at the end %s\n" % UTF8_NEEDLE
# The form of the generated inputs: a change here makes them anew.
DATA_FORM = 2
# The same lines in UTF-8: accented letters, CJK characters two columns
# wide and an emoji, 50 columns in all.
UTF8_BODY = " caf\u00e9 na\u00efve \u4e2d\u6587\u5b57 \u00fcber stra\u00dfe \u2014 \U0001f600 again\n"
# A line as tools that colour their output write it: sequences around
# words and inside them, resets at the end.
COLOUR_BODY = (" \x1b[33mcommit\x1b[m \x1b[1;32mfile.c\x1b[m | 3 \x1b[32m++\x1b[31m-\x1b[m"
               " \x1b[38;5;208mwarn\x1b[0ming \x1b[48;2;10;20;30mtext\x1b[m\n")
ROWS, COLS = 24, 80
FOLLOW_RATE = 10 * 1000 * 1000       # bytes a second


def parse_size(text):
    units = {"K": 1 << 10, "M": 1 << 20, "G": 1 << 30}
    text = text.strip().upper()
    if text and text[-1] in units:
        return int(float(text[:-1]) * units[text[-1]])
    return int(text)


# --- inputs ---------------------------------------------------------------

def write_text(path, size, body=LINE_BODY, last=LAST_LINE):
    """Numbered lines of LINE_LEN bytes (of `body`) up to about `size`,
    then `last`.  Returns the number of lines."""
    line_len = 9 + len(body.encode("utf-8"))
    lines = max(ROWS * 4, size // line_len)
    if not os.path.exists(path):
        tmp = path + ".tmp"
        with open(tmp, "w", encoding="utf-8") as out:
            batch = 100000
            for start in range(1, lines + 1, batch):
                end = min(lines + 1, start + batch)
                out.write("".join("%09d%s" % (n, body) for n in range(start, end)))
            out.write(last)
        os.rename(tmp, path)
    return lines + 1


LONG_WORDS = "lorem ipsum dolor sit amet consectetur adipiscing elit sed do "


def long_line(n, line_len):
    """Line `n` of the long-lines file, without its newline."""
    body = (LONG_WORDS * (line_len // len(LONG_WORDS) + 1))[: line_len - 9]
    return "L%06d %s" % (n, body)


def long_line_count(size, line_len):
    return max(2, size // line_len)


def write_long_lines(path, size, line_len):
    """Lines of `line_len` bytes of words (each starting "L000001 "), then
    LAST_LINE."""
    if os.path.exists(path):
        return
    tmp = path + ".tmp"
    with open(tmp, "w") as out:
        for n in range(1, long_line_count(size, line_len) + 1):
            out.write(long_line(n, line_len) + "\n")
        out.write(LAST_LINE)
    os.rename(tmp, path)


def long_rows_after_b(size, line_len):
    """The top and bottom rows one screen back from the end of the
    long-lines file: its last line wrapped at COLS, then LAST_LINE, the
    screen moved back by ROWS - 1 rows."""
    text = long_line(long_line_count(size, line_len), line_len)
    rows = [text[i:i + COLS] for i in range(0, len(text), COLS)] + [LAST_LINE.strip()]
    bottom = len(rows) - ROWS
    return rows[bottom - (ROWS - 2)].rstrip(), rows[bottom].rstrip()


def one_line_rows(size):
    """The text of a file that is one line of `size` bytes of numbered words
    (no two rows alike), cut into rows of COLS columns."""
    words = "".join("w%07d " % n for n in range(size // 9 + 1))[: size - 1]
    return words, [words[i:i + COLS] for i in range(0, len(words), COLS)]


def write_one_line(path, size):
    if not os.path.exists(path):
        with open(path + ".tmp", "w") as out:
            out.write(one_line_rows(size)[0] + "\n")
        os.rename(path + ".tmp", path)


def write_binary(path, size):
    if os.path.exists(path):
        return
    block = bytes(range(256)) * 16 + b"\n"
    with open(path + ".tmp", "wb") as out:
        for _ in range(max(1, size // len(block))):
            out.write(block)
    os.rename(path + ".tmp", path)


# --- measuring --------------------------------------------------------------

class Skip(Exception):
    pass


def run_command(argv, stdout=subprocess.DEVNULL, cwd=None, env=None):
    """Wall time and processor time (its own and its children's) of one
    command run to completion, and no RSS: the child's ru_maxrss would
    count what it had as a fork of this script."""
    start = time.perf_counter()
    proc = subprocess.Popen(argv, stdout=stdout, stdin=subprocess.DEVNULL, cwd=cwd, env=env)
    _, status, usage = os.wait4(proc.pid, 0)
    took = time.perf_counter() - start
    proc.returncode = os.waitstatus_to_exitcode(status)
    if proc.returncode not in (0, 1):   # grep -c says 1 for no match
        raise RuntimeError("%s failed with %d" % (" ".join(argv), proc.returncode))
    return took, None, usage.ru_utime + usage.ru_stime


def drive(env, program, args, steps, cwd, cols=COLS, rss_name=None, timeout=600,
          utf8=False):
    """Runs the driver once: the laps, the peak RSS and the values it
    printed (name -> number)."""
    argv = [env["driver"], "--rows", str(ROWS), "--cols", str(cols), "--cwd", cwd,
            "--timeout", str(timeout)]
    if rss_name:
        argv += ["--rss-name", rss_name]
    if utf8:
        argv += ["--utf8"]
    argv += ["--", program] + args + ["--"] + steps + ["rss"]
    proc = subprocess.run(argv, capture_output=True, text=True, env=env["child_env"],
                          timeout=timeout * 2 + 60)
    laps, rss, values = [], None, {}
    cpu = []
    for line in proc.stdout.splitlines():
        parts = line.split()
        if parts[:2] == ["BENCH", "lap"]:
            laps.append(float(parts[3]))
        elif parts[:2] == ["BENCH", "cpu"]:
            cpu.append(float(parts[3]))
            values["cpu " + parts[2]] = float(parts[3])
        elif parts[:2] == ["BENCH", "rss"]:
            rss = int(parts[2])
        elif parts[:2] == ["BENCH", "value"]:
            values[parts[2]] = float(parts[3])
    if proc.returncode != 0 or not laps:
        raise RuntimeError("driver failed for %s %s:\n%s" %
                           (program, " ".join(args), proc.stdout[-3000:]))
    values["cpu"] = sum(cpu) if len(cpu) == len(laps) else None
    return laps, rss, values


def run_driver(*args, **kwargs):
    """The time of the laps, the peak RSS and the pager's processor time in
    the laps."""
    laps, rss, values = drive(*args, **kwargs)
    return sum(laps), rss, values["cpu"]


def measure(cfg, runners):
    """Runs each (name, runner) once per repetition, the order turning each
    time, after one warm-up round.  Returns name -> (times, peak rss,
    processor times), the i-th time of every runner from the same round
    (a processor time the runner could not tell is None)."""
    results = {name: ([], 0, []) for name, _ in runners}
    for rep in range(cfg.reps + 1):
        order = runners if rep % 2 == 0 else list(reversed(runners))
        for name, runner in order:
            took, rss, cpu = runner()
            if rep == 0:
                continue
            times, peak, cpus = results[name]
            times.append(took)
            cpus.append(cpu)
            results[name] = (times, max(peak, rss or 0), cpus)
    return results


def summary(times):
    """The median of the values and their spread: half their range, in per
    cent of the median."""
    times = [t for t in times if t is not None]
    if not times:
        return None, None
    median = statistics.median(times)
    spread = (max(times) - min(times)) / 2 / median * 100 if median > 0 else 0.0
    return median, spread


def paired_ratio(vorn, peer):
    """The ratios vorn/peer of each round, taken pair by pair (the two ran
    side by side under the same load): their median and spread."""
    return summary([v / p for v, p in zip(vorn, peer)
                    if v is not None and p is not None and p > 0])


def work_only(on_input, on_empty):
    """A command's own work on its input: a run on the input less a run of
    the same command on an empty one (its start-up, which the pager's laps
    do not hold either).  A difference that is not above zero (a tiny
    input, within the noise) is None: no ratio is taken from that round."""
    def difference(full, empty):
        if full is None or empty is None or full <= empty:
            return None
        return full - empty

    def run():
        took, rss, cpu = on_input()
        took0, _, cpu0 = on_empty()
        return difference(took, took0), rss, difference(cpu, cpu0)
    return run


# --- cases ------------------------------------------------------------------

def pager(env, name):
    return env["vorn"] if name == "vorn" else env["less"]


def first_screen_steps(first="000000001 ", bottom="000000023 "):
    return ["row:0:" + first, "row:%d:%s" % (ROWS - 2, bottom)]


def numbered(n):
    return "%09d " % n


# vorn ends at the end of the last file unless -e is given; the peer stays.
def interactive(env, cfg, name, args, steps, cols=COLS, rss_name=None, program=None,
                utf8=False):
    prog = program or pager(env, name)
    if program is None and name == "vorn":
        args = ["-e"] + args
    return lambda: run_driver(env, prog, args, steps, cfg.data, cols, rss_name, cfg.timeout,
                              utf8)


def cases(env, cfg):
    text, lines = "text.txt", cfg.text_lines
    page, page_lines = "page.txt", cfg.page_lines
    # G is done when the prompt is back: vorn counts the lines for the
    # bottom row's number after the screen is out ("text.txt: END"; the
    # peer says "(END)").
    end = ["type:G", "any:NEEDLE at the end", "row:-1:END"]
    c = []

    def add(title, vorn, peers, target):
        c.append((title, vorn, peers, target))

    def cmd(*argv):
        return lambda: run_command(list(argv), cwd=cfg.data)

    # A floor (grep, wc, fold) is timed by its own work, as the pager is
    # timed from the key: the same command on an empty file is run after
    # it, and its time (start-up) taken off.  grep stops at the first match
    # when its output is /dev/null (it takes -c for -q then): the scanning
    # peers write into a file instead.
    def scan(*argv, utf8=False):
        def on(path):
            def run():
                with open(os.path.join(cfg.data, "peer.out"), "w") as out:
                    return run_command(list(argv[:-1]) + [path], stdout=out, cwd=cfg.data,
                                       env=env["utf8_env"] if utf8 else None)
            return run
        return work_only(on(argv[-1]), on("empty.txt"))

    def sh(script):
        return lambda: run_command(["sh", "-c", script], cwd=cfg.data)

    def sh_work(script, path):
        return work_only(sh(script % path), sh(script % "empty.txt"))

    add("copy mode to /dev/null", cmd(env["vorn"], text), [("cat", cmd("cat", text))], "<= 1.1")
    add("copy mode into a pipe", sh("'%s' %s | cat >/dev/null" % (env["vorn"], text)),
        [("cat", sh("cat %s | cat >/dev/null" % text))], "<= 1.1")
    add("copy mode, binary file", cmd(env["vorn"], "binary.bin"),
        [("cat", cmd("cat", "binary.bin"))], "report")

    def both(title, args, steps, peers, target, cols=COLS, less_steps=None, utf8=False):
        vorn = interactive(env, cfg, "vorn", args, steps, cols, utf8=utf8)
        less = interactive(env, cfg, "less", args, less_steps or steps, cols, utf8=utf8)
        add(title, vorn, peers + [("less", less)], target)

    both("first screen", [text], first_screen_steps() + ["lap:first"], [], "<= 1.0")
    g_steps = first_screen_steps() + ["mark"] + end + ["lap:G"]
    both("G", [text], g_steps, [("wc -l", scan("wc", "-l", text))], "wc <= 1.2")
    # -n: neither pager counts lines (the same option in both).
    both("G with -n", ["-n", text], g_steps, [], "<= 1.0")

    # A jump by percent and back in a file whose end is known: against the
    # peer pager only (no floor command does this).
    half = LINE_LEN * lines // 2 // LINE_LEN + 1
    near = "|".join(numbered(n) for n in range(half - 2, half + 3))
    both("50p then g, after G", [text],
         first_screen_steps() + end + ["mark", "type:50p", "rowany:0:" + near, "type:g"]
         + first_screen_steps() + ["lap:50p-g"], [], "<= 1.0")

    # The number of the last line, from the key G to the long prompt that
    # names it: the whole count, against wc -l.  vorn says " line N" for the
    # bottom line, the peer "lines A-N/N"; wide enough that neither is cut.
    vorn_eq = first_screen_steps() + ["mark"] + end + ["type:=", "row:-1:line %d " % lines,
                                                      "lap:G="]
    less_eq = first_screen_steps() + ["mark"] + end + ["type:=",
                                                      "row:-1:-%d/%d " % (lines, lines),
                                                      "lap:G="]
    both("G, then the line number (=)", [text], vorn_eq, [("wc -l", scan("wc", "-l", text))],
         "wc <= 1.2", cols=132, less_steps=less_eq)

    def paging(title, path, page_lines, args, utf8=False):
        """Paging by screens, one key at a time and 200 keys in one burst."""
        screens = max(1, (page_lines - ROWS) // (ROWS - 1) - 1)
        both("%s by screens (%d)" % (title, screens), args + [path],
             first_screen_steps() + ["mark", "page:%d:%d:1" % (screens, ROWS - 1), "lap:page"],
             [], "<= 1.0", utf8=utf8)
        burst = min(200, screens)
        both("%s, %d screens at once" % (title, burst), args + [path],
             first_screen_steps() + ["mark", "burst:%d:%d:1" % (burst, ROWS - 1), "lap:burst"],
             [], "<= 1.0", utf8=utf8)

    paging("paging", page, page_lines, [])

    # The line-number column and a header line cost against paging the
    # same file without them (the peer's options differ: vorn alone).  A
    # page beneath a header of one line is a line shorter, and its first
    # line is on the row beneath the header.
    def own_paging(title, args, stride, top, row):
        screens = max(1, (page_lines - ROWS) // (ROWS - 1) - 1)

        def run(args, stride, top, row):
            return interactive(env, cfg, "vorn", args + [page], first_screen_steps() + [
                "mark", "page:%d:%d:%d:%d" % (screens, stride, top, row), "lap:page"])
        add("%s by screens (%d)" % (title, screens), run(args, stride, top, row),
            [("vorn plain", run([], ROWS - 1, 1, 0))], "<= 1.1")

    own_paging("paging with -N", ["-N"], ROWS - 1, 1, 0)
    own_paging("paging beneath a header line (-H 1)", ["-H", "1"], ROWS - 2, 2, 1)

    def search(title, path, opts, pattern, grep, utf8=False):
        """A search from the first screen to the last line, against grep
        counting the lines that match."""
        both(title, opts + [path],
             first_screen_steps() + ["mark", "type:/%s\n" % pattern, "any:NEEDLE at the end",
                                     "lap:search"],
             [(" ".join(grep[:2]), scan(*grep, path, utf8=utf8))], "grep <= 1.5", utf8=utf8)

    search_titles = ["search forward", "search forward -i", "search, no literal",
                     "search, common literal only", "search inverted", "search backward",
                     "UTF-8 text: search forward -i", "UTF-8 text: non-ASCII search",
                     "UTF-8 text: non-ASCII search -i", "coloured text: search forward"]
    if cfg.search_built:
        search("search forward", text, [], "NEEDLE", ["grep", "-c", "NEEDLE"])
        search("search forward -i", text, ["-i"], "needle", ["grep", "-ci", "needle"])
        # The same search with the line-number column and a header line,
        # against the search without them.
        found = first_screen_steps() + ["mark", "type:/NEEDLE\n", "any:NEEDLE at the end",
                                        "lap:search"]
        add("search forward with -N and -H 1",
            interactive(env, cfg, "vorn", ["-N", "-H", "1", text], found),
            [("vorn plain", interactive(env, cfg, "vorn", [text], found))], "<= 1.1")
        search("search, no literal", text, [], "N[E]+DLE|x{9}", ["grep", "-cE", "N[E]+DLE|x{9}"])
        # Its only literal, x, is on every line ("fox").
        search("search, common literal only", text, [], "[0-9]{3}x[0-9]",
               ["grep", "-cE", "[0-9]{3}x[0-9]"])
        # (an expression of single characters: vorn matches it without regexec)
        search("search inverted", text, [], "!^[0-9]", ["grep", "-vc", "^[0-9]"])
        both("search backward", [text],
             first_screen_steps() + end + ["mark", "type:?^000000001 \n", "row:0:000000001 ",
                                           "lap:back"],
             [("grep -c", scan("grep", "-c", "^000000001 ", text))], "grep <= 1.5")
        # A filter showing the last line alone, then G and the number of the
        # line shown (counted with the numbers on): the pager's own filter
        # against grep counting the lines that match.  (The peer's filter
        # has other keys: it is not run.)
        # With the line numbers beside the text (-N), counted to the end.
        filter_steps = (first_screen_steps()
                        + ["mark", "type:&NEEDLE\n", "any:NEEDLE at the end",
                           "type:G", "type:=", "row:-1:line %d " % lines, "lap:filter"])
        add("filter, then G and = with -N",
            interactive(env, cfg, "vorn", ["-N", text], filter_steps, 132),
            [("grep -c", scan("grep", "-c", "NEEDLE", text))], "grep <= 1.5")
        sparse_filter_cases(env, cfg, text, lines, add, scan)
    else:
        for title in search_titles[:6]:
            add(title, None, [], "not built")

    # Long lines: G, then b, done when the rows one screen back are there
    # and the prompt under them (which no longer says END).
    top_b, bottom_b = long_rows_after_b(*cfg.long_shape)
    long_g = ["row:0:L000001 ", "mark"] + end + ["lap:G", "mark", "type:b", "row:0:" + top_b,
                                                "row:%d:%s" % (ROWS - 2, bottom_b),
                                                "filled:-1", "notrow:-1:END", "lap:b"]
    both("long lines: G, then b", ["long.txt"], long_g, [], "<= 1.0")

    # One line of a tenth of the main size: G, then b, against the same
    # wrapping done once (the peer pager takes minutes there).
    # (rows are compared without the blanks that end them, which the
    # screen does not keep)
    rows = [row[:40].rstrip() for row in one_line_rows(cfg.one_line_size)[1]]
    one_steps = ["row:0:" + rows[0], "mark", "type:G", "row:%d:%s" % (ROWS - 2, rows[-1]),
                 "lap:G", "mark", "type:b", "row:%d:%s" % (ROWS - 2, rows[-1 - (ROWS - 1)]),
                 "lap:b"]
    add("one long line: G, then b", interactive(env, cfg, "vorn", ["one-line.txt"], one_steps),
        [("fold|tail", sh_work("fold -w %d %%s | tail -n %d" % (COLS, ROWS - 1),
                               "one-line.txt"))],
        "fold <= 3")
    if cfg.search_built:
        both("long lines: search after G, b", ["long.txt"],
             long_g[:-1] + ["mark", "type:/NEEDLE\n", "any:NEEDLE at the end", "lap:search"],
             [], "<= 1.0")
    else:
        add("long lines: search after G, b", None, [], "not built")

    def piped(name):
        prog = pager(env, name)
        script = "cat %s | exec '%s'%s" % (text, prog, " -e" if name == "vorn" else "")
        return interactive(env, cfg, name, ["-c", script], first_screen_steps() + ["mark"]
                           + end + ["lap:G"], rss_name=os.path.basename(prog),
                           program="/bin/sh")
    add("pipe into the pager, then G", piped("vorn"), [("less", piped("less"))], "<= 1.0")

    # The same G against its floor: `cat FILE | wc -l`, reading the same
    # pipe to its end.  cat's work is the same on both sides and is left out
    # of the processor times: the pager's own against wc's own.
    # With decompressing=True the reader is gzip -cd (what zcat runs), whose
    # processor time counts: decompressing is work the pager does too.
    def cat_into_wc(path, decompressing=False):
        reader = ["gzip", "-cd"] if decompressing else ["cat"]
        def run():
            start = time.perf_counter()
            cat = subprocess.Popen(reader + [path], stdout=subprocess.PIPE, cwd=cfg.data)
            with open(os.path.join(cfg.data, "peer.out"), "w") as out:
                wc = subprocess.Popen(["wc", "-l"], stdin=cat.stdout, stdout=out, cwd=cfg.data)
            cat.stdout.close()
            _, status, usage = os.wait4(wc.pid, 0)
            _, read_status, read_usage = os.wait4(cat.pid, 0)
            took = time.perf_counter() - start
            if os.waitstatus_to_exitcode(status) != 0 or read_status != 0:
                raise RuntimeError("%s %s | wc -l failed" % (reader[0], path))
            cpu = usage.ru_utime + usage.ru_stime
            if decompressing:
                cpu += read_usage.ru_utime + read_usage.ru_stime
            return took, None, cpu
        return run
    add("standard input to its end (G)", piped("vorn"),
        [("cat | wc -l", work_only(cat_into_wc(text), cat_into_wc("empty.txt")))],
        "wc <= 1.5")

    # The text gzip-compressed, to its end: the pager decompresses it into
    # its cache and counts its lines; the floor decompresses it into wc -l.
    add("gzip file to its end (G)",
        interactive(env, cfg, "vorn", [text + ".gz"], g_steps),
        [("zcat | wc -l", work_only(cat_into_wc(text + ".gz", True),
                                    cat_into_wc("empty.txt.gz", True)))],
        "wc <= 1.3")

    # UTF-8 text in a UTF-8 locale (the floors too): the same paging and
    # searches, to set beside the ASCII runs above; the searches over a text
    # of the main size.
    paging("UTF-8 text: paging", "utf8.txt", cfg.utf8_lines, [], utf8=True)
    # Coloured text shown as colours (-R for both).
    paging("coloured text: paging", "colour.txt", cfg.colour_lines, ["-R"])
    if cfg.search_built:
        search("UTF-8 text: search forward -i", "utf8-full.txt", ["-i"], "needle",
               ["grep", "-ci", "needle"], utf8=True)
        search("UTF-8 text: non-ASCII search", "utf8-full.txt", [], UTF8_NEEDLE,
               ["grep", "-c", UTF8_NEEDLE], utf8=True)
        search("UTF-8 text: non-ASCII search -i", "utf8-full.txt", ["-i"], UTF8_NEEDLE,
               ["grep", "-ci", UTF8_NEEDLE], utf8=True)
        search("coloured text: search forward", "colour-full.txt", ["-R"], "NEEDLE",
               ["grep", "-c", "NEEDLE"])
    else:
        for title in search_titles[6:]:
            add(title, None, [], "not built")
    return c


def sparse_filter_cases(env, cfg, text, lines, add, scan):
    """A filter showing one line in `step` (one in 100 000 on the full
    inputs: the lines whose number ends in as many zeros; fewer zeros on
    small ones, so that a few screenfuls show): going back a screen from
    the end, and g to a line half-way, each against grep counting the lines
    that match in the stretch the pager must pass (back from the old top
    to the new one; from the start, whose line numbers are counted, to the
    bottom of the screen g shows)."""
    rows = ROWS - 1
    step = 100000
    while step > 10 and lines < step * 3 * rows:
        step //= 10
    pattern = "%s the" % ("0" * len(str(step)[1:]))
    shown = lines // step
    last = shown * step
    def stretch(name, first, end):
        """Lines first .. end - 1 of the text (all of one length) as a file."""
        path = os.path.join(cfg.data, name)
        size = (end - first) * LINE_LEN
        if not os.path.exists(path) or os.path.getsize(path) != size:
            with open(os.path.join(cfg.data, text), "rb") as src, open(path, "wb") as out:
                src.seek((first - 1) * LINE_LEN)
                left = size
                while left > 0:
                    chunk = src.read(min(left, 1 << 24))
                    out.write(chunk)
                    left -= len(chunk)
        return path
    filter_on = first_screen_steps() + ["type:&%s\n" % pattern, "row:0:" + numbered(step)]
    end = ["type:G", "row:%d:%s" % (rows - 1, numbered(last)), "row:-1:END"]
    back_top = last - (2 * rows - 1) * step
    back = filter_on + end + ["mark", "type:b", "row:0:" + numbered(back_top),
                              "notrow:-1:END", "lap:back"]
    add("sparse filter (1 in %d): back a screen" % step,
        interactive(env, cfg, "vorn", [text], back),
        [("grep -c", scan("grep", "-c", pattern,
                          stretch("sparse-back.txt", back_top, last - (rows - 1) * step)))],
        "grep <= 1.5")
    target = shown // 2 * step - step // 2
    goto = filter_on + ["mark", "type:%dg" % target, "row:0:" + numbered(target + step // 2),
                        "lap:g"]
    add("sparse filter (1 in %d): g to the middle" % step,
        interactive(env, cfg, "vorn", [text], goto),
        [("grep -c", scan("grep", "-c", pattern,
                          stretch("sparse-g.txt", 1, target + step // 2 + rows * step)))],
        "grep <= 1.5")


FOLLOW_TARGET = "keeps up; < 16 MiB; idle ~0"


def follow_case(env, cfg, title, args=(), every=1):
    """Following a file that grows by FOLLOW_RATE for cfg.follow_seconds:
    how far the screen fell behind, how long it took to show the last line
    once the growth stopped, the processor time the pager used while the
    file grew, the peak RSS and the processor time spent idle afterwards.
    With `args` (a filter) the view shows the lines whose number is a
    multiple of `every`.  One run: it takes its own time, and has no peer."""
    path = os.path.join(cfg.data, "follow.txt")
    start_lines = 1000
    with open(path, "w") as out:
        out.write("".join("%09d%s" % (n, LINE_BODY) for n in range(1, start_lines + 1)))
    # (a filter shows none of the first lines, which are not grown ones)
    first = ["row:%d:%09d " % (ROWS - 2, start_lines)] if every == 1 else []
    steps = first + ["filled:-1",
             "mark", "grow:follow.txt:%d:%g" % (FOLLOW_RATE, cfg.follow_seconds), "lap:growth",
             "mark", "caughtup:%d" % every, "lap:catch-up", "idle:%g" % cfg.idle_seconds]
    # (a key stops following, so that the driver's q then quits)
    laps, rss, values = drive(env, env["vorn"], ["-F"] + list(args) + ["follow.txt"],
                              steps + ["rss", "key:^C"], cfg.data,
                              timeout=cfg.timeout)
    os.remove(path)
    growth_cpu = values.get("cpu growth")
    return {"case": title, "status": "follow", "target": FOLLOW_TARGET,
            "rate_mb_per_s": FOLLOW_RATE / 1e6, "seconds": cfg.follow_seconds,
            "lag_max_s": values.get("lag-max"), "catch_up_s": laps[1],
            "growth_cpu_percent": None if growth_cpu is None else
            growth_cpu / laps[0] * 100,
            "idle_cpu_percent": values.get("idle-cpu-percent"),
            "vorn": {"peak_rss_kb": rss}}


def probe_search(env, cfg):
    """Whether this build finds a pattern at all (search may not exist yet)."""
    try:
        run_driver(env, env["vorn"], ["-e", "probe.txt"],
                   ["row:0:000000001 ", "mark", "type:/NEEDLE\n", "any:NEEDLE at the end",
                    "lap:probe"], cfg.data, timeout=5)
        return True
    except (RuntimeError, subprocess.TimeoutExpired):
        return False


def probe_follow(env, cfg):
    """Whether this build follows a file (-F)."""
    try:
        run_driver(env, env["vorn"], ["-F", "probe.txt"],
                   ["mark", "any:waiting for data", "lap:probe", "key:^C"], cfg.data,
                   timeout=5)
        return True
    except (RuntimeError, subprocess.TimeoutExpired):
        return False


# --- report -------------------------------------------------------------------

def reads_a_pipe(row):
    return row["case"].startswith("pipe") or row["case"].startswith("standard input")


def fmt_ratio(ratio, spread):
    return "-" if ratio is None else "%.2f ±%d%%" % (ratio, round(spread))


def fmt_time(seconds):
    if seconds is None:
        return "-"
    return "%.3f s" % seconds if seconds >= 0.1 else "%.1f ms" % (seconds * 1000)


def run_cases(env, cfg):
    rows = []
    for title, vorn, peers, target in cases(env, cfg):
        if cfg.only and not any(word in title for word in cfg.only.split(",")):
            continue
        if vorn is None:
            rows.append({"case": title, "status": "not built", "target": target})
            print("  %-34s not built" % title, file=sys.stderr)
            continue
        print("  %-34s ..." % title, file=sys.stderr, flush=True)
        peers = [(name, runner) for name, runner in peers if name not in cfg.skip_peer]
        runners = [("vorn", vorn)] + peers
        try:
            res = measure(cfg, runners)
        except (RuntimeError, subprocess.TimeoutExpired) as error:
            rows.append({"case": title, "status": "failed", "error": str(error)[:2000],
                         "target": target})
            print(str(error)[:2000], file=sys.stderr)
            continue
        v_times, v_rss, v_cpus = res["vorn"]
        v_med, v_spread = summary(v_times)
        row = {"case": title, "status": "measured", "target": target,
               "vorn": {"median": v_med, "spread_pct": v_spread, "times": v_times,
                        "peak_rss_kb": v_rss, "cpu_median": summary(v_cpus)[0],
                        "cpu_times": v_cpus},
               "peers": []}
        for name, _ in peers:
            p_times, p_rss, p_cpus = res[name]
            p_med, p_spread = summary(p_times)
            ratio, ratio_spread = paired_ratio(v_times, p_times)
            cpu_ratio, cpu_spread = paired_ratio(v_cpus, p_cpus)
            row["peers"].append({"peer": name, "median": p_med, "spread_pct": p_spread,
                                 "times": p_times, "peak_rss_kb": p_rss,
                                 "ratio": ratio, "ratio_spread_pct": ratio_spread,
                                 "cpu_median": summary(p_cpus)[0], "cpu_times": p_cpus,
                                 "cpu_ratio": cpu_ratio, "cpu_ratio_spread_pct": cpu_spread})
        rows.append(row)
    # (the filtered one shows one grown line in a thousand: "000 a line")
    follows = [("following a growing file", (), 1),
               ("filtered following (1 in 1000)", ("-&000 a line",), 1000)]
    for title, args, every in follows:
        if cfg.only and not any(word in title for word in cfg.only.split(",")):
            continue
        print("  %-34s ..." % title, file=sys.stderr, flush=True)
        if not cfg.follow_built:
            rows.append({"case": title, "status": "not built", "target": FOLLOW_TARGET})
            continue
        try:
            rows.append(follow_case(env, cfg, title, args, every))
        except (RuntimeError, subprocess.TimeoutExpired) as error:
            rows.append({"case": title, "status": "failed",
                         "error": str(error)[:2000], "target": FOLLOW_TARGET})
            print(str(error)[:2000], file=sys.stderr)
    return rows


def print_table(rows, cfg):
    form = "%-38s %14s %12s %14s %12s %12s  %-12s %9s"
    head = form % ("case", "vorn", "peer", "peer time", "ratio", "CPU ratio", "target",
                   "vorn RSS")
    print("\nvorn benchmark: %s inputs (%d MiB text), %d runs after a warm-up, "
          "vorn and peers alternating" % ("quick" if cfg.quick else "full",
                                         cfg.size >> 20, cfg.reps))
    print("ratio: wall time vorn/peer; CPU ratio: processor time vorn/peer (the pager's own "
          "in the timed laps, a floor command's own work: its run less its run on an empty "
          "input); each the median of the ratios of the rounds, ± half their range")
    print(head)
    print("-" * len(head))
    for row in rows:
        if row["status"] == "follow":
            kb = row["vorn"]["peak_rss_kb"]
            print(form % (
                row["case"], "catch-up " + fmt_time(row["catch_up_s"]), "", "", "", "",
                "see below", "-" if not kb else "%.1f MiB" % (kb / 1024)))
            continue
        if row["status"] != "measured":
            print(form % (row["case"], row["status"], "", "", "", "", row["target"], ""))
            continue
        v = row["vorn"]
        vorn_cell = "%s ±%d%%" % (fmt_time(v["median"]), round(v["spread_pct"]))
        kb = v["peak_rss_kb"]
        rss = "-" if not kb else "%.1f MiB" % (kb / 1024)
        peers = row["peers"] or [None]
        for i, p in enumerate(peers):
            peer_cells = ("", "", "", "") if p is None else (
                p["peer"], "-" if p["median"] is None else
                "%s ±%d%%" % (fmt_time(p["median"]), round(p["spread_pct"])),
                fmt_ratio(p["ratio"], p["ratio_spread_pct"]),
                fmt_ratio(p["cpu_ratio"], p["cpu_ratio_spread_pct"]))
            print(form % (
                row["case"] if i == 0 else "", vorn_cell if i == 0 else "", *peer_cells,
                row["target"] if i == 0 else "", rss if i == 0 else ""))
    viewing = [r["vorn"]["peak_rss_kb"] for r in rows
               if r["status"] == "measured" and not reads_a_pipe(r)]
    if viewing:
        print("peak memory of vorn while viewing the files: %.1f MiB (target: under 16 MiB)"
              % (max(viewing) / 1024))
    for r in rows:
        if r["status"] == "follow":
            growth = r.get("growth_cpu_percent")
            print("%s, by %.0f MB/s for %g s: the last text row was at "
                  "most %s behind the end, showed the last line %s after the growth stopped; "
                  "processor time while it grew %s; "
                  "peak memory %.1f MiB; processor time while idle afterwards %.2f %% "
                  "(target: %s)" % (r["case"], r["rate_mb_per_s"], r["seconds"],
                                    fmt_time(r["lag_max_s"]),
                                    fmt_time(r["catch_up_s"]),
                                    "-" if growth is None else "%.1f %%" % growth,
                                    r["vorn"]["peak_rss_kb"] / 1024,
                                    r["idle_cpu_percent"], r["target"]))
        if r["status"] == "measured" and reads_a_pipe(r):
            print("peak memory of vorn reading the %.1f MiB text from a pipe (%s): %.1f MiB, "
                  "%.3f times the input (target: at most 1.05 times)"
                  % (cfg.text_bytes / (1 << 20), r["case"], r["vorn"]["peak_rss_kb"] / 1024,
                     r["vorn"]["peak_rss_kb"] * 1024 / cfg.text_bytes))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(here, "..", "build-bench"))
    parser.add_argument("--quick", action="store_true", help="small inputs, few runs")
    parser.add_argument("--json", metavar="FILE", help="also write the results as JSON")
    parser.add_argument("--reps", type=int, help="measured runs per case")
    parser.add_argument("--no-micro", action="store_true", help="skip the micro-benchmarks")
    parser.add_argument("--skip-peer", metavar="NAMES", default="",
                        help="peers not to run (comma-separated, such as less: the peer "
                        "pager's searches take minutes each on the full inputs)")
    parser.add_argument("--only", metavar="WORDS",
                        help="only the cases whose title holds one of these (comma-separated)")
    cfg = parser.parse_args()
    cfg.skip_peer = [name for name in cfg.skip_peer.split(",") if name]
    default_size = "2M" if cfg.quick else "1G"
    cfg.size = parse_size(os.environ.get("VORN_BENCH_SIZE", default_size))
    cfg.reps = cfg.reps or (3 if cfg.quick else 5)
    cfg.timeout = 60 if cfg.quick else 600
    # Following: 10 MB/s for 30 s (3 s in the quick run), then idle.
    cfg.follow_seconds = 3 if cfg.quick else 30
    cfg.idle_seconds = 1 if cfg.quick else 3
    build = os.path.abspath(cfg.build)
    cfg.data = os.path.join(build, "bench-data", "%d-form%d" % (cfg.size, DATA_FORM))
    os.makedirs(cfg.data, exist_ok=True)

    env = {"vorn": os.path.join(build, "vorn"),
           "driver": os.path.join(build, "bench", "vorn_bench_driver"),
           "less": "/usr/bin/less"}
    child_env = {k: v for k, v in os.environ.items()
                 if not k.startswith("LESS") and k not in ("VORN", "PAGER")}
    child_env["LESSHISTFILE"] = "-"
    env["child_env"] = child_env
    env["utf8_env"] = dict(child_env, LC_ALL="C.UTF-8")

    print("generating inputs in %s ..." % cfg.data, file=sys.stderr, flush=True)
    cfg.text_lines = write_text(os.path.join(cfg.data, "text.txt"), cfg.size)
    cfg.text_bytes = os.path.getsize(os.path.join(cfg.data, "text.txt"))
    # Paging goes through about a tenth of the main size (100 MB of 1 GiB),
    # a thirty-second in the quick run, where every screen is a round trip.
    page_size = cfg.size // 32 if cfg.quick else cfg.size * 100 // 1024
    cfg.page_lines = write_text(os.path.join(cfg.data, "page.txt"), page_size)
    # (its lines are longer in bytes: fewer of them in the same size)
    cfg.utf8_lines = write_text(os.path.join(cfg.data, "utf8.txt"), page_size, UTF8_BODY,
                                UTF8_LAST_LINE)
    cfg.colour_lines = write_text(os.path.join(cfg.data, "colour.txt"), page_size, COLOUR_BODY)
    # The searches of UTF-8 and coloured text go over the main size.
    write_text(os.path.join(cfg.data, "utf8-full.txt"), cfg.size, UTF8_BODY, UTF8_LAST_LINE)
    write_text(os.path.join(cfg.data, "colour-full.txt"), cfg.size, COLOUR_BODY)
    open(os.path.join(cfg.data, "empty.txt"), "w").close()
    for name in ("text.txt", "empty.txt"):
        packed = os.path.join(cfg.data, name + ".gz")
        if not os.path.exists(packed):
            with open(packed + ".part", "wb") as out:
                subprocess.run(["gzip", "-c", name], cwd=cfg.data, stdout=out, check=True)
            os.rename(packed + ".part", packed)
    # The peer takes seconds for G on one 300 KB line (more than linearly
    # in its length): the quick run has a few shorter ones.
    cfg.long_shape = (256 * 1024, 64 * 1024) if cfg.quick else (cfg.size, 300 * 1024)
    write_long_lines(os.path.join(cfg.data, "long.txt"), *cfg.long_shape)
    write_binary(os.path.join(cfg.data, "binary.bin"), max(1 << 20, cfg.size // 8))
    cfg.one_line_size = max(64 * 1024, cfg.size // 10)
    write_one_line(os.path.join(cfg.data, "one-line.txt"), cfg.one_line_size)
    write_text(os.path.join(cfg.data, "probe.txt"), 100 * LINE_LEN)
    subprocess.run(["cat", "text.txt", "long.txt", "page.txt", "utf8-full.txt",
                    "colour-full.txt"], cwd=cfg.data,
                   stdout=subprocess.DEVNULL, check=True)  # page cache hot
    cfg.search_built = probe_search(env, cfg)
    cfg.follow_built = probe_follow(env, cfg)

    rows = run_cases(env, cfg)
    print_table(rows, cfg)

    micro = None
    if not cfg.no_micro:
        micro_bin = os.path.join(build, "bench", "vorn_micro_bench")
        print("\nmicro-benchmarks of the file-input loops:")
        out = subprocess.run([micro_bin, "--benchmark_min_time=%s" %
                              ("0.05" if cfg.quick else "0.5"),
                              "--benchmark_format=json"], capture_output=True, text=True,
                             check=True).stdout
        micro = json.loads(out)
        for b in micro["benchmarks"]:
            scale = {"ns": 1e-3, "us": 1.0, "ms": 1e3, "s": 1e6}[b["time_unit"]]
            print("  %-24s %12.1f us CPU per pass  %8.0f MiB/s" % (
                b["name"], b["cpu_time"] * scale, b.get("bytes_per_second", 0) / (1 << 20)))
    if cfg.json:
        with open(cfg.json, "w") as out:
            json.dump({"size": cfg.size, "quick": cfg.quick, "reps": cfg.reps,
                       "cases": rows, "micro": micro}, out, indent=1)


if __name__ == "__main__":
    main()
