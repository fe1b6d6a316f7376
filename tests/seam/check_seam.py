#!/usr/bin/env python3
"""Compiles small files with the flags the build gives each handler folder: including what
lies below the seam (Qt Widgets, libmpv, libcurl, mdbtools, or a platform header that brings
them in) must fail with the seam's own error; including the platform's interfaces must not.

usage: check_seam.py BUILD_DIR SOURCE_DIR
"""
import json
import os
import shlex
import shutil
import subprocess
import sys
import tempfile
from concurrent.futures import ThreadPoolExecutor

FOLDERS = ["common", "web", "remotedb", "board", "update", "player"]

# Below the seam: each of these must stop the compile at the seam's own error.
BELOW = [
    "<QWidget>",
    "<QApplication>",
    "<QtWidgets/QWidget>",
    "<qwidget.h>",
    "<mpv/client.h>",
    "<mpv/render.h>",
    "<curl/curl.h>",
    "<mdbtools.h>",
    '"platform/net/curl_easy.h"',
    '"platform/ui/ui_widgets.h"',
]

# Platform internals: they must not compile either (handler folders have no Qt include path).
INTERNAL = [
    '"platform/media/mpv_engine.h"',
    '"platform/ui/units.h"',
]

# The interfaces handlers use: these must compile in every handler folder.
INTERFACES = [
    '"common/unit_ref.h"',
    '"platform/ui/ui.h"',
    '"platform/ui/program.h"',
    '"platform/ui/media_player.h"',
    '"platform/ui/pending_get.h"',
    '"platform/net/http_get.h"',
    '"platform/events/event_wait.h"',
    '"platform/transfer/transfer.h"',
    '"platform/transfer/connection_state.h"',
    '"platform/jet/jet_database.h"',
]

SEAM_ERROR = "lies below the seam"


def folder_command(entries, source_dir, folder):
    """The compile command of one of the folder's own sources, as argument list and directory."""
    prefix = os.path.join(source_dir, folder) + os.sep
    for entry in entries:
        if entry["file"].startswith(prefix) and entry["file"].endswith(".cpp"):
            args = entry["arguments"] if "arguments" in entry else shlex.split(entry["command"])
            return args, entry["file"], entry["directory"]
    raise SystemExit(f"no compile command for a source in {folder}/")


def probe_args(args, source, probe):
    out = []
    skip = False
    for arg in args:
        if skip:
            skip = False
            continue
        if arg == "-o":
            skip = True
            continue
        if arg == "-c":
            continue
        out.append(probe if arg == source else arg)
    return out + ["-fsyntax-only"]


def main():
    build_dir, source_dir = sys.argv[1], os.path.realpath(sys.argv[2])
    with open(os.path.join(build_dir, "compile_commands.json"), encoding="utf-8") as f:
        entries = json.load(f)
    tmp = tempfile.mkdtemp(prefix="seam-")
    cases = []
    for folder in FOLDERS:
        args, source, directory = folder_command(entries, source_dir, folder)
        for header in BELOW + INTERNAL + INTERFACES:
            probe = os.path.join(tmp, f"{folder}_{len(cases)}.cpp")
            with open(probe, "w", encoding="utf-8") as f:
                f.write(f"#include {header}\n")
            kind = "below" if header in BELOW else "internal" if header in INTERNAL else "interface"
            cases.append((folder, header, kind, probe_args(args, source, probe), directory))

    def run(case):
        folder, header, kind, args, directory = case
        done = subprocess.run(args, cwd=directory, capture_output=True, text=True, errors="replace")
        if kind != "interface":
            if done.returncode == 0:
                return f"{folder}/: #include {header} compiled"
            if kind == "below" and SEAM_ERROR not in done.stderr:
                return f"{folder}/: #include {header} failed, but not at the seam:\n{done.stderr[:800]}"
        elif done.returncode != 0:
            return f"{folder}/: #include {header} did not compile:\n{done.stderr[:800]}"
        return None

    with ThreadPoolExecutor(max_workers=4) as pool:
        failures = [r for r in pool.map(run, cases) if r]
    shutil.rmtree(tmp, ignore_errors=True)
    for failure in failures:
        print("FAIL", failure)
    print(f"{len(cases) - len(failures)} of {len(cases)} includes behaved as the seam says")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
