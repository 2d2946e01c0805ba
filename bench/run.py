#!/usr/bin/env python3
"""Benchmark suite: vorn side by side with its peers in one run.

Generates the inputs (never committed) in the build directory, measures
every case several times after a warm-up, alternating vorn and the peer so
that both see the same machine load, and prints one table of medians,
spreads and ratios (vorn time / peer time).  Interactive cases run the real
pager in a pseudo-terminal through the bench driver, timed from the key to
the expected screen.  Beside the wall-time ratio it gives the ratio of
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
LAST_LINE = "NEEDLE at the end\n"
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

def write_text(path, size, body=LINE_BODY):
    """Numbered lines of LINE_LEN bytes (of `body`) up to about `size`,
    then LAST_LINE.  Returns the number of lines."""
    line_len = 9 + len(body.encode("utf-8"))
    lines = max(ROWS * 4, size // line_len)
    if not os.path.exists(path):
        tmp = path + ".tmp"
        with open(tmp, "w", encoding="utf-8") as out:
            batch = 100000
            for start in range(1, lines + 1, batch):
                end = min(lines + 1, start + batch)
                out.write("".join("%09d%s" % (n, body) for n in range(start, end)))
            out.write(LAST_LINE)
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


def run_command(argv, stdout=subprocess.DEVNULL, cwd=None):
    """Wall time and processor time (its own and its children's) of one
    command run to completion, and no RSS: the child's ru_maxrss would
    count what it had as a fork of this script."""
    start = time.perf_counter()
    proc = subprocess.Popen(argv, stdout=stdout, stdin=subprocess.DEVNULL, cwd=cwd)
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
    processor times)."""
    results = {name: ([], 0, []) for name, _ in runners}
    for rep in range(cfg.reps + 1):
        order = runners if rep % 2 == 0 else list(reversed(runners))
        for name, runner in order:
            took, rss, cpu = runner()
            if rep == 0:
                continue
            times, peak, cpus = results[name]
            times.append(took)
            if cpu is not None:
                cpus.append(cpu)
            results[name] = (times, max(peak, rss or 0), cpus)
    return results


def summary(times):
    median = statistics.median(times)
    spread = (max(times) - min(times)) / 2 / median * 100 if median > 0 else 0.0
    return median, spread


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

    # grep stops at the first match when its output is /dev/null (it takes
    # -c for -q then): the scanning peers write into a file instead.
    def scan(*argv):
        def run():
            with open(os.path.join(cfg.data, "peer.out"), "w") as out:
                return run_command(list(argv), stdout=out, cwd=cfg.data)
        return run

    def sh(script):
        return lambda: run_command(["sh", "-c", script], cwd=cfg.data)

    add("copy mode to /dev/null", cmd(env["vorn"], text), [("cat", cmd("cat", text))], "<= 1.1")
    add("copy mode into a pipe", sh("'%s' %s | cat >/dev/null" % (env["vorn"], text)),
        [("cat", sh("cat %s | cat >/dev/null" % text))], "<= 1.1")
    add("copy mode, binary file", cmd(env["vorn"], "binary.bin"),
        [("cat", cmd("cat", "binary.bin"))], "report")

    def both(title, args, steps, peers, target, cols=COLS, less_args=None, less_steps=None,
             utf8=False):
        vorn = interactive(env, cfg, "vorn", args, steps, cols, utf8=utf8)
        less = interactive(env, cfg, "less", less_args if less_args is not None else args,
                           less_steps or steps, cols, utf8=utf8)
        add(title, vorn, peers + [("less", less)], target)

    both("first screen", [text], first_screen_steps() + ["lap:first"], [], "not slower")
    g_steps = first_screen_steps() + ["mark"] + end + ["lap:G"]
    both("G", [text], g_steps, [("wc -l", scan("wc", "-l", text))], "wc <= 1.2")
    both("G with -n", ["-n", text], g_steps, [], "not slower", less_args=[text])

    half = LINE_LEN * lines // 2 // LINE_LEN + 1
    near = "|".join(numbered(n) for n in range(half - 2, half + 3))
    both("50p then g, after G", [text],
         first_screen_steps() + end + ["mark", "type:50p", "rowany:0:" + near, "type:g"]
         + first_screen_steps() + ["lap:50p-g"],
         [("wc -l", scan("wc", "-l", text))], "wc <= 1.2")

    # The long prompt: vorn says " line N" for the bottom line, the peer
    # "lines A-N/N"; wide enough that neither is cut.
    vorn_eq = first_screen_steps() + end + ["mark", "type:=", "row:-1:line %d " % lines,
                                              "lap:="]
    less_eq = first_screen_steps() + end + ["mark", "type:=", "row:-1:-%d/%d " % (lines, lines),
                                              "lap:="]
    both("line number after G (=)", [text], vorn_eq, [("wc -l", scan("wc", "-l", text))],
         "wc <= 2", cols=132, less_steps=less_eq)

    screens = max(1, (page_lines - ROWS) // (ROWS - 1) - 1)
    both("paging by screens (%d)" % screens, [page],
         first_screen_steps() + ["mark", "page:%d:%d:1" % (screens, ROWS - 1), "lap:page"],
         [], "not slower")

    if cfg.search_built:
        searches = [("search forward", [], "NEEDLE", ["grep", "-c", "NEEDLE"], "grep <= 1.5"),
                    ("search forward -i", ["-i"], "needle", ["grep", "-ci", "needle"],
                     "grep <= 2"),
                    ("search, no literal", [], "N[E]+DLE|x{9}",
                     ["grep", "-cE", "N[E]+DLE|x{9}"], "report"),
                    ("search inverted", [], "!^[0-9]", ["grep", "-vc", "^[0-9]"], "grep <= 2")]
        for title, opts, pattern, grep, target in searches:
            both(title, opts + [text],
                 first_screen_steps() + ["mark", "type:/%s\n" % pattern,
                                         "any:NEEDLE at the end", "lap:search"],
                 [(" ".join(grep[:2]), scan(*grep, text))], target)
        both("search backward", [text],
             first_screen_steps() + end + ["mark", "type:?^000000001 \n", "row:0:000000001 ",
                                           "lap:back"],
             [("grep -c", scan("grep", "-c", "^000000001 ", text))], "grep <= 3")
    else:
        for title in ("search forward", "search forward -i", "search, no literal",
                      "search inverted", "search backward"):
            add(title, None, [], "not built")

    # Long lines: G, then b, done when the rows one screen back are there
    # and the prompt under them (which no longer says END).
    top_b, bottom_b = long_rows_after_b(*cfg.long_shape)
    long_g = ["row:0:L000001 ", "mark"] + end + ["lap:G", "mark", "type:b", "row:0:" + top_b,
                                                "row:%d:%s" % (ROWS - 2, bottom_b),
                                                "filled:-1", "notrow:-1:END", "lap:b"]
    both("long lines: G, then b", ["long.txt"], long_g, [], "not slower")

    # One line of a tenth of the main size: G, then b, against the same
    # wrapping done once (the peer pager takes minutes there).
    # (rows are compared without the blanks that end them, which the
    # screen does not keep)
    rows = [row[:40].rstrip() for row in one_line_rows(cfg.one_line_size)[1]]
    one_steps = ["row:0:" + rows[0], "mark", "type:G", "row:%d:%s" % (ROWS - 2, rows[-1]),
                 "lap:G", "mark", "type:b", "row:%d:%s" % (ROWS - 2, rows[-1 - (ROWS - 1)]),
                 "lap:b"]
    add("one long line: G, then b", interactive(env, cfg, "vorn", ["one-line.txt"], one_steps),
        [("fold|tail", sh("fold -w %d one-line.txt | tail -n %d" % (COLS, ROWS - 1)))],
        "fold <= 3")
    if cfg.search_built:
        both("long lines: search after G, b", ["long.txt"],
             long_g[:-1] + ["mark", "type:/NEEDLE\n", "any:NEEDLE at the end", "lap:search"],
             [], "not slower")
    else:
        add("long lines: search after G, b", None, [], "not built")

    def piped(name):
        prog = pager(env, name)
        script = "cat %s | exec '%s'%s" % (text, prog, " -e" if name == "vorn" else "")
        return interactive(env, cfg, name, ["-c", script], first_screen_steps() + ["mark"]
                           + end + ["lap:G"], rss_name=os.path.basename(prog),
                           program="/bin/sh")
    add("pipe into the pager, then G", piped("vorn"), [("less", piped("less"))], "not slower")

    # The same G against its floor: `cat FILE | wc -l`, reading the same
    # pipe to its end.  cat's work is the same on both sides and is left out
    # of the processor times: the pager's own against wc's own.
    def cat_into_wc():
        start = time.perf_counter()
        cat = subprocess.Popen(["cat", text], stdout=subprocess.PIPE, cwd=cfg.data)
        with open(os.path.join(cfg.data, "peer.out"), "w") as out:
            wc = subprocess.Popen(["wc", "-l"], stdin=cat.stdout, stdout=out, cwd=cfg.data)
        cat.stdout.close()
        _, status, usage = os.wait4(wc.pid, 0)
        cat.wait()
        took = time.perf_counter() - start
        if os.waitstatus_to_exitcode(status) != 0 or cat.returncode != 0:
            raise RuntimeError("cat %s | wc -l failed" % text)
        return took, None, usage.ru_utime + usage.ru_stime
    add("standard input to its end (G)", piped("vorn"), [("cat | wc -l", cat_into_wc)],
        "wc <= 1.5")

    # UTF-8 text in a UTF-8 locale: the same paging and a folded search,
    # to set beside the ASCII runs above.
    utf8_text = "utf8.txt"
    utf8_screens = max(1, (cfg.utf8_lines - ROWS) // (ROWS - 1) - 1)
    both("UTF-8 text: paging by screens (%d)" % utf8_screens, [utf8_text],
         first_screen_steps() + ["mark", "page:%d:%d:1" % (utf8_screens, ROWS - 1), "lap:page"],
         [], "not slower", utf8=True)
    if cfg.search_built:
        both("UTF-8 text: search forward -i", ["-i", utf8_text],
             first_screen_steps() + ["mark", "type:/needle\n", "any:NEEDLE at the end",
                                     "lap:search"],
             [("grep -ci", scan("grep", "-ci", "needle", utf8_text))], "grep <= 2", utf8=True)
    else:
        add("UTF-8 text: search forward -i", None, [], "not built")
    # Coloured text shown as colours (-R for both).
    colour_text = "colour.txt"
    colour_screens = max(1, (cfg.colour_lines - ROWS) // (ROWS - 1) - 1)
    both("coloured text: paging by screens (%d)" % colour_screens, ["-R", colour_text],
         first_screen_steps() + ["mark", "page:%d:%d:1" % (colour_screens, ROWS - 1),
                                 "lap:page"],
         [], "not slower")
    if cfg.search_built:
        both("coloured text: search forward", ["-R", colour_text],
             first_screen_steps() + ["mark", "type:/NEEDLE\n", "any:NEEDLE at the end",
                                     "lap:search"],
             [("grep -c", scan("grep", "-c", "NEEDLE", colour_text))], "grep <= 2")
    else:
        add("coloured text: search forward", None, [], "not built")
    return c


FOLLOW_TARGET = "keeps up; < 16 MiB; idle ~0"


def follow_case(env, cfg):
    """Following a file that grows by FOLLOW_RATE for cfg.follow_seconds:
    how far the screen fell behind, how long it took to show the last line
    once the growth stopped, the peak RSS and the processor time spent
    idle afterwards.  One run: it takes its own time, and has no peer."""
    path = os.path.join(cfg.data, "follow.txt")
    start_lines = 1000
    with open(path, "w") as out:
        out.write("".join("%09d%s" % (n, LINE_BODY) for n in range(1, start_lines + 1)))
    steps = ["row:%d:%09d " % (ROWS - 2, start_lines), "filled:-1",
             "grow:follow.txt:%d:%g" % (FOLLOW_RATE, cfg.follow_seconds),
             "mark", "caughtup", "lap:catch-up", "idle:%g" % cfg.idle_seconds]
    # (a key stops following, so that the driver's q then quits)
    laps, rss, values = drive(env, env["vorn"], ["-F", "follow.txt"],
                              steps + ["rss", "key:^C"], cfg.data,
                              timeout=cfg.timeout)
    os.remove(path)
    return {"case": "following a growing file", "status": "follow", "target": FOLLOW_TARGET,
            "rate_mb_per_s": FOLLOW_RATE / 1e6, "seconds": cfg.follow_seconds,
            "lag_max_s": values.get("lag-max"), "catch_up_s": laps[0],
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


def fmt_time(seconds):
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
        v_med, v_spread = summary(res["vorn"][0])
        v_cpu = statistics.median(res["vorn"][2]) if res["vorn"][2] else None
        row = {"case": title, "status": "measured", "target": target,
               "vorn": {"median": v_med, "spread_pct": v_spread, "times": res["vorn"][0],
                        "peak_rss_kb": res["vorn"][1], "cpu_median": v_cpu,
                        "cpu_times": res["vorn"][2]},
               "peers": []}
        for name, _ in peers:
            p_med, p_spread = summary(res[name][0])
            p_cpu = statistics.median(res[name][2]) if res[name][2] else None
            row["peers"].append({"peer": name, "median": p_med, "spread_pct": p_spread,
                                 "times": res[name][0], "peak_rss_kb": res[name][1],
                                 "ratio": v_med / p_med if p_med > 0 else None,
                                 "cpu_median": p_cpu, "cpu_times": res[name][2],
                                 "cpu_ratio": v_cpu / p_cpu if v_cpu is not None and p_cpu
                                 else None})
        rows.append(row)
    if not cfg.only or "follow" in cfg.only:
        print("  %-34s ..." % "following a growing file", file=sys.stderr, flush=True)
        if not cfg.follow_built:
            rows.append({"case": "following a growing file", "status": "not built",
                         "target": FOLLOW_TARGET})
        else:
            try:
                rows.append(follow_case(env, cfg))
            except (RuntimeError, subprocess.TimeoutExpired) as error:
                rows.append({"case": "following a growing file", "status": "failed",
                             "error": str(error)[:2000], "target": FOLLOW_TARGET})
                print(str(error)[:2000], file=sys.stderr)
    return rows


def print_table(rows, cfg):
    head = "%-34s %14s %8s %14s %7s %7s  %-12s %9s" % ("case", "vorn", "peer", "peer time",
                                                       "ratio", "CPU", "target", "vorn RSS")
    print("\nvorn benchmark: %s inputs (%d MiB text), %d runs after a warm-up, "
          "vorn and peers alternating" % ("quick" if cfg.quick else "full",
                                         cfg.size >> 20, cfg.reps))
    print("ratio: wall time vorn/peer; CPU: processor time vorn/peer (the pager's own in the "
          "timed laps, a command's with its children)")
    print(head)
    print("-" * len(head))
    for row in rows:
        if row["status"] == "follow":
            kb = row["vorn"]["peak_rss_kb"]
            print("%-34s %14s %8s %14s %7s %7s  %-12s %9s" % (
                row["case"], "catch-up " + fmt_time(row["catch_up_s"]), "", "", "", "",
                "see below", "-" if not kb else "%.1f MiB" % (kb / 1024)))
            continue
        if row["status"] != "measured":
            print("%-34s %14s %8s %14s %7s %7s  %-12s" % (row["case"], row["status"], "", "",
                                                         "", "", row["target"]))
            continue
        v = row["vorn"]
        vorn_cell = "%s ±%d%%" % (fmt_time(v["median"]), round(v["spread_pct"]))
        kb = v["peak_rss_kb"]
        rss = "-" if not kb else "%.1f MiB" % (kb / 1024)
        peers = row["peers"] or [None]
        for i, p in enumerate(peers):
            peer_cells = ("", "", "", "") if p is None else (
                p["peer"], "%s ±%d%%" % (fmt_time(p["median"]), round(p["spread_pct"])),
                "%.2f" % p["ratio"] if p["ratio"] is not None else "-",
                "%.2f" % p["cpu_ratio"] if p["cpu_ratio"] is not None else "-")
            print("%-34s %14s %8s %14s %7s %7s  %-12s %9s" % (
                row["case"] if i == 0 else "", vorn_cell if i == 0 else "", *peer_cells,
                row["target"] if i == 0 else "", rss if i == 0 else ""))
    viewing = [r["vorn"]["peak_rss_kb"] for r in rows
               if r["status"] == "measured" and not reads_a_pipe(r)]
    if viewing:
        print("peak memory of vorn while viewing the files: %.1f MiB (target: under 16 MiB)"
              % (max(viewing) / 1024))
    for r in rows:
        if r["status"] == "follow":
            print("following a file growing by %.0f MB/s for %g s: the last text row was at "
                  "most %s behind the end, showed the last line %s after the growth stopped; "
                  "peak memory %.1f MiB; processor time while idle afterwards %.2f %% "
                  "(target: %s)" % (r["rate_mb_per_s"], r["seconds"], fmt_time(r["lag_max_s"]),
                                    fmt_time(r["catch_up_s"]), r["vorn"]["peak_rss_kb"] / 1024,
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
    cfg.data = os.path.join(build, "bench-data", str(cfg.size))
    os.makedirs(cfg.data, exist_ok=True)

    env = {"vorn": os.path.join(build, "vorn"),
           "driver": os.path.join(build, "bench", "vorn_bench_driver"),
           "less": "/usr/bin/less"}
    child_env = {k: v for k, v in os.environ.items()
                 if not k.startswith("LESS") and k not in ("VORN", "PAGER")}
    child_env["LESSHISTFILE"] = "-"
    env["child_env"] = child_env

    print("generating inputs in %s ..." % cfg.data, file=sys.stderr, flush=True)
    cfg.text_lines = write_text(os.path.join(cfg.data, "text.txt"), cfg.size)
    cfg.text_bytes = os.path.getsize(os.path.join(cfg.data, "text.txt"))
    # Paging goes through about a tenth of the main size (100 MB of 1 GiB),
    # a thirty-second in the quick run, where every screen is a round trip.
    page_size = cfg.size // 32 if cfg.quick else cfg.size * 100 // 1024
    cfg.page_lines = write_text(os.path.join(cfg.data, "page.txt"), page_size)
    # (its lines are longer in bytes: fewer of them in the same size)
    cfg.utf8_lines = write_text(os.path.join(cfg.data, "utf8.txt"), page_size, UTF8_BODY)
    cfg.colour_lines = write_text(os.path.join(cfg.data, "colour.txt"), page_size, COLOUR_BODY)
    # The peer takes seconds for G on one 300 KB line (more than linearly
    # in its length): the quick run has a few shorter ones.
    cfg.long_shape = (256 * 1024, 64 * 1024) if cfg.quick else (cfg.size, 300 * 1024)
    write_long_lines(os.path.join(cfg.data, "long.txt"), *cfg.long_shape)
    write_binary(os.path.join(cfg.data, "binary.bin"), max(1 << 20, cfg.size // 8))
    cfg.one_line_size = max(64 * 1024, cfg.size // 10)
    write_one_line(os.path.join(cfg.data, "one-line.txt"), cfg.one_line_size)
    write_text(os.path.join(cfg.data, "probe.txt"), 100 * LINE_LEN)
    subprocess.run(["cat", "text.txt", "long.txt", "page.txt"], cwd=cfg.data,
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
