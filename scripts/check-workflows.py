#!/usr/bin/env python3
"""Holds the GitHub workflows to what can be proven here: every file parses as YAML, the
workflow has a concurrency group and every job a timeout, every step either sets the runner up
with a pinned action of the few allowed or runs one script of this repository that exists and
may be run, and no upload of files lets an empty upload pass.

    scripts/check-workflows.py [WORKFLOW.yml...]   (default: .github/workflows/*.yml)
"""
import os
import re
import shlex
import sys

import yaml

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
# The runner's own setup, never a step of the project's work.
SETUP_ACTIONS = {
    "actions/checkout",
    "actions/upload-artifact",
    "actions/download-artifact",
    "msys2/setup-msys2",
}


def script_problems(command):
    """What is wrong with a step's command: it must be one command, a script of the repository."""
    if "\n" in command.strip() or re.search(r"[;&|`]|\$\(", command):
        return ["runs more than one script: %r" % command]
    words = shlex.split(command)
    path = words[0].removeprefix("./")
    full = os.path.join(ROOT, path)
    if os.path.isabs(path) or not os.path.isfile(full):
        return ["runs %r, which is no file of the repository" % words[0]]
    if not path.endswith(".ps1") and not os.access(full, os.X_OK):
        return ["runs %s, which may not be run (chmod +x)" % path]
    return []


def workflow_problems(path):
    with open(path, encoding="utf-8") as file:
        workflow = yaml.safe_load(file)
    problems = []
    # YAML 1.1 reads the key `on` as true.
    if not workflow.get("on", workflow.get(True)):
        problems.append("no trigger (on:)")
    if not workflow.get("concurrency"):
        problems.append("no concurrency group")
    jobs = workflow.get("jobs") or {}
    if not jobs:
        problems.append("no jobs")
    for name, job in jobs.items():
        where = "job " + name
        if not isinstance(job.get("timeout-minutes"), int):
            problems.append(where + ": no timeout-minutes")
        needs = job.get("needs", [])
        for needed in [needs] if isinstance(needs, str) else needs:
            if needed not in jobs:
                problems.append(where + ": needs %s, which is no job" % needed)
        steps = job.get("steps") or []
        if not steps:
            problems.append(where + ": no steps")
        for number, step in enumerate(steps, 1):
            at = "%s, step %d" % (where, number)
            if "uses" in step:
                action, _, version = step["uses"].partition("@")
                if action not in SETUP_ACTIONS:
                    problems.append(at + ": uses %s, which is not a runner's setup" % action)
                if not version:
                    problems.append(at + ": %s without a version" % action)
                if action == "actions/upload-artifact":
                    if step.get("with", {}).get("if-no-files-found") != "error":
                        problems.append(at + ": an upload that finds no file must fail")
                if action == "msys2/setup-msys2" and step.get("with", {}).get("update"):
                    problems.append(at + ": MSYS2 updated to whatever is newest")
            elif "run" in step:
                problems += [at + ": " + p for p in script_problems(step["run"])]
            else:
                problems.append(at + ": neither uses nor run")
    return problems


def main(paths):
    if not paths:
        folder = os.path.join(ROOT, ".github", "workflows")
        paths = sorted(os.path.join(folder, name) for name in os.listdir(folder)
                       if name.endswith((".yml", ".yaml")))
    failed = 0
    for path in paths:
        try:
            problems = workflow_problems(path)
        except (OSError, yaml.YAMLError, AttributeError, TypeError) as error:
            problems = ["cannot be read as a workflow: %s" % error]
        name = os.path.relpath(path, ROOT)
        for problem in problems:
            print("%s: %s" % (name, problem))
        if problems:
            failed += 1
    print("check-workflows: %d workflows, %d with problems" % (len(paths), failed))
    return 1 if failed or not paths else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
