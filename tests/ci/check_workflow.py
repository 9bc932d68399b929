#!/usr/bin/python3
"""Checks that a CI workflow names only what the project has.

    check_workflow.py <workflow.yml> <source root>

For every job and every combination of its matrix, each step's command may
name scripts (scripts/..., tests/...: each must exist) and CMake presets
(--preset NAME, -Preset NAME: each must be listed by `cmake --list-presets`
as the job's host would list it, a Windows runner's from a copy of
CMakePresets.json whose host conditions read "Windows"). Prints what is
missing and exits 1; exits 0 when nothing is.
"""
import itertools
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile

import yaml

SCRIPT = re.compile(r"(?<![\w/\\.-])\.?[/\\]?((?:scripts|tests)[/\\][\w./\\-]+\.(?:sh|ps1|py|cmake))")
PRESET = re.compile(r"(?P<before>\S+)\s+(?P<flag>--preset[ =]|-Preset\s+)(?P<name>\S+)")
MATRIX = re.compile(r"\$\{\{\s*matrix\.([\w-]+)\s*\}\}")


def listed_presets(root, windows):
    """{kind: set of names} as `cmake --list-presets=all` lists them."""
    text = (root / "CMakePresets.json").read_text()
    with tempfile.TemporaryDirectory() as folder:
        if windows:
            text = text.replace("${hostSystemName}", "Windows")
        (pathlib.Path(folder) / "CMakePresets.json").write_text(text)
        listing = subprocess.run(["cmake", "--list-presets=all"], cwd=folder, capture_output=True, text=True,
                                 check=True).stdout
    presets = {}
    kind = None
    for line in listing.splitlines():
        heading = re.match(r"Available (\w+) presets:", line)
        if heading:
            kind = heading.group(1)
            presets[kind] = set()
        name = re.match(r'\s+"([^"]+)"', line)
        if name and kind:
            presets[kind].add(name.group(1))
    return presets


def combinations(job):
    """Each combination of the job's matrix as {key: value}; one empty one without a matrix."""
    matrix = (job.get("strategy") or {}).get("matrix") or {}
    axes = {key: values for key, values in matrix.items() if isinstance(values, list) and key != "include"}
    combos = [dict(zip(axes, values)) for values in itertools.product(*axes.values())] if axes else [{}]
    return combos + list(matrix.get("include") or [])


def preset_kinds(program, flag):
    """Which kinds of preset a command takes by that name."""
    if flag.startswith("-Preset"):  # scripts/windows-ci.ps1 configures, builds and tests with it
        return ["configure", "build", "test"]
    if program == "ctest":
        return ["test"]
    if program == "--build":
        return ["build"]
    return ["configure"]


def check(workflow_path, root):
    workflow = yaml.safe_load(workflow_path.read_text())
    problems = []
    presets = {True: listed_presets(root, True), False: listed_presets(root, False)}
    named = 0
    for job_name, job in (workflow.get("jobs") or {}).items():
        windows = str(job.get("runs-on", "")).startswith("windows")
        for combo in combinations(job):
            for step in job.get("steps") or []:
                command = step.get("run")
                if not command:
                    continue
                command = MATRIX.sub(lambda m: str(combo.get(m.group(1), m.group(0))), command)
                where = f"job {job_name} {combo or ''}, step '{step.get('name', command)}'"
                for unresolved in MATRIX.findall(command):
                    problems.append(f"{where}: matrix.{unresolved} is not in the matrix")
                for script in SCRIPT.findall(command):
                    named += 1
                    if not (root / script.replace("\\", "/")).is_file():
                        problems.append(f"{where}: no script {script}")
                for match in PRESET.finditer(command):
                    named += 1
                    for kind in preset_kinds(match.group("before"), match.group("flag")):
                        if match.group("name") not in presets[windows].get(kind, set()):
                            host = "a Windows" if windows else "a Linux"
                            problems.append(f"{where}: no {kind} preset '{match.group('name')}' on {host} host")
    if named == 0:
        problems.append("the workflow names no script and no preset: nothing was checked")
    return problems


def main():
    if len(sys.argv) != 3 or shutil.which("cmake") is None:
        print(__doc__.strip().splitlines()[2].strip(), file=sys.stderr)
        return 2
    problems = check(pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2]))
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
