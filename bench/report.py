#!/usr/bin/env python3
"""Prints the benchmarks as one short table: each benchmark, its time, its
floor's time and the ratio, with the target where there is one.

usage: bench/report.py BENCH_JSON [GALLERY_XML]

BENCH_JSON is morvane-bench's --benchmark_out (JSON, with repetitions: the
medians are shown); GALLERY_XML is morvane-bench-gallery's -o FILE,xml.
A benchmark "NAME" is paired with "NAME.floor"; the floor's label says what
it does.
"""

import json
import os
import platform
import sys
import xml.etree.ElementTree as ElementTree

# The largest ratio each target allows. The word swap must reach half of
# memcpy's throughput, which is twice its time.
TARGETS = {
    "swap": 2.0,
    "load": 1.5,
    "write": 1.5,
    "extract_60": 3.0,
}

GALLERY_FLOOR = "copies of the 60 bitmaps into images"


def cpu_model():
    try:
        with open("/proc/cpuinfo", encoding="utf-8") as cpuinfo:
            for line in cpuinfo:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor() or "unknown processor"


def to_microseconds(value, unit):
    return value * {"ns": 1e-3, "us": 1.0, "ms": 1e3, "s": 1e6}[unit]


def readable(microseconds):
    if microseconds < 1:
        return f"{microseconds * 1000:.0f} ns"
    if microseconds < 1000:
        return f"{microseconds:.3g} us"
    if microseconds < 1e6:
        return f"{microseconds / 1000:.3g} ms"
    return f"{microseconds / 1e6:.3g} s"


def google_benchmarks(path):
    """name -> (microseconds, label), the medians of the repetitions (or the
    one run when there were none)."""
    with open(path, encoding="utf-8") as source:
        report = json.load(source)
    results = {}
    labels = {}
    for run in report["benchmarks"]:
        name = run["run_name"].split("/")[0]
        if run.get("label"):
            labels[name] = run["label"]
        if run.get("run_type") == "aggregate" and run.get("aggregate_name") != "median":
            continue
        if run.get("run_type") == "iteration" and name in results:
            continue  # repetitions without aggregates: keep the first
        results[name] = to_microseconds(run["real_time"], run["time_unit"])
    return {name: (time, labels.get(name, "")) for name, time in results.items()}, report["context"]


def gallery_benchmarks(path):
    tree = ElementTree.parse(path)
    results = {}
    for function in tree.iter("TestFunction"):
        for result in function.iter("BenchmarkResult"):
            if result.get("metric") == "WalltimeMilliseconds":
                results[function.get("name")] = float(result.get("value")) * 1000
    if "rebuildGallery" not in results or "rebuildGalleryFloor" not in results:
        return {}
    return {
        "rebuild_gallery_60": (results["rebuildGallery"], ""),
        "rebuild_gallery_60.floor": (results["rebuildGalleryFloor"], GALLERY_FLOOR),
    }


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    results, context = google_benchmarks(sys.argv[1])
    if len(sys.argv) == 3 and os.path.exists(sys.argv[2]):
        results.update(gallery_benchmarks(sys.argv[2]))

    load = " ".join(f"{value:.2f}" for value in context.get("load_avg", []))
    print(f"Machine: {cpu_model()}, {os.cpu_count()} CPUs (nproc {len(os.sched_getaffinity(0))}), "
          f"load average {load or 'unknown'}; {context.get('date', '')}")
    header = ("benchmark", "time", "floor", "floor time", "ratio", "target")
    rows = []
    for name, (time, _) in results.items():
        if name.endswith(".floor"):
            continue
        floor_time, floor_label = results.get(name + ".floor", (None, ""))
        if floor_time is None:
            rows.append((name, readable(time), "", "", "", ""))
            continue
        ratio = time / floor_time
        target = ""
        if name in TARGETS:
            verdict = "met" if ratio <= TARGETS[name] else "MISSED"
            target = f"<= {TARGETS[name]:g}x {verdict}"
        rows.append((name, readable(time), floor_label, readable(floor_time),
                     f"{ratio:.2f}x", target))
    widths = [max(len(row[i]) for row in rows + [header]) for i in range(len(header))]
    right = {1, 3, 4}
    for row in [header] + rows:
        cells = [cell.rjust(widths[i]) if i in right else cell.ljust(widths[i])
                 for i, cell in enumerate(row)]
        print("  ".join(cells).rstrip())


if __name__ == "__main__":
    main()
