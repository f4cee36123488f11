#!/usr/bin/env python3
"""leafward-cli check and history as JSON and CSV: every document validates against its schema
in docs/schema, the CSV reads back with Python's csv module as the same findings as the JSON,
the worked example's document is the one pinned in tests/cli/documents, and the README's jq
query answers which codes are wrong in every account set.

Usage: formats_test.py LEAFWARD_CLI SOURCE_DIR"""
import csv
import io
import json
import os
import shutil
import subprocess
import sys
import tempfile

import jsonschema

cli, source = sys.argv[1], sys.argv[2]
fixtures = os.path.join(source, "tests", "data", "account-sets")
schemas = os.path.join(source, "docs", "schema")
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def run(args, folder, environment=None):
    done = subprocess.run([cli] + args, cwd=folder, capture_output=True, env=environment)
    return done.returncode, done.stdout.decode("utf-8"), done.stderr.decode("utf-8")


def schema(name):
    with open(os.path.join(schemas, name), encoding="utf-8") as file:
        return json.load(file)


check_schema, history_schema = schema("check-v1.schema.json"), schema("history-v1.schema.json")

with tempfile.TemporaryDirectory() as folder:
    names = sorted(name for name in os.listdir(fixtures) if name.endswith(".mdb"))
    for name in names:
        shutil.copy(os.path.join(fixtures, name), folder)
        os.chmod(os.path.join(folder, name), 0o644)

    # Every account set in one document, as one run names them.
    code, out, err = run(["check", "--format", "json"] + names, folder)
    # The worst of them: empty-code.mdb has no verdict.
    check(code == 3, "check of every fixture exited %d" % code)
    document = json.loads(out)
    jsonschema.validate(document, check_schema)
    check([s["name"] for s in document["account_sets"]] == names, "the account sets in order")
    texts = {}
    for name in names:
        code, text, _ = run(["check", name], folder)
        texts[name] = (code, text)
    for account_set in document["account_sets"]:
        code, text = texts[account_set["name"]]
        check(account_set["exit_code"] == code, account_set["name"] + ": exit code")
        if account_set["report"] is not None:
            check(account_set["report"] + "\n" == text, account_set["name"] + ": report")

    code, out, err = run(["check", "--format", "xml", "consistent.mdb"], folder)
    check(code == 2 and out == "" and err.startswith("leafward-cli: unknown format 'xml'"),
          "an unknown format is refused: " + err)

    # The CSV holds the same findings, read back by a CSV reader.
    code, out, _ = run(["check", "--format", "csv"] + names, folder)
    check(out.endswith("\r\n"), "CSV lines end in CR LF")
    rows = list(csv.DictReader(io.StringIO(out, newline="")))
    from_json = []
    for account_set in document["account_sets"]:
        for wrong in account_set["wrong_flags"]:
            from_json.append((account_set["name"], wrong["kind"], wrong["code"] or "",
                              wrong["name"] or "", "" if wrong["level"] is None else str(wrong["level"]),
                              wrong["parent"] or "", str(wrong["sub_codes"])))
        scheme = account_set["coding_scheme"] or {"stored": []}
        for stored in scheme["stored"]:
            if stored["reported"]:
                from_json.append((account_set["name"], "coding_scheme_" + stored["state"],
                                  stored["table"], stored["value"] or ""))
    from_csv = []
    for row in rows:
        if row["kind"].startswith("coding_scheme_"):
            from_csv.append((row["account_set"], row["kind"], row["scheme_table"],
                             row["scheme_stored"]))
        else:
            from_csv.append((row["account_set"], row["kind"], row["code"], row["name"],
                             row["level"], row["parent"], row["sub_codes"]))
    check(from_csv == from_json, "the CSV and the JSON hold the same findings")

    # The layout is pinned: the worked example's document, version aside.
    code, out, _ = run(["check", "--format", "json", "worked-example.mdb"], folder)
    with open(os.path.join(source, "tests", "cli", "documents", "check-worked-example.json"),
              encoding="utf-8") as pinned:
        expected = pinned.read()
    version = json.loads(out)["leafward_version"]
    check(out == expected.replace("@VERSION@", version), "the pinned document:\n" + out)

    # The README's question: which codes are wrong in every account set.
    shutil.copy(os.path.join(folder, "worked-example.mdb"), os.path.join(folder, "copy.mdb"))
    code, out, _ = run(["check", "--format", "json", "worked-example.mdb", "copy.mdb",
                        "consistent.mdb"], folder)
    query = ('[.account_sets[] | select(.status != "failed") | [.wrong_flags[].code]]'
             ' | reduce .[1:][] as $set (.[0]; map(select(IN($set[]))))')
    answer = subprocess.run(["jq", "-c", query], input=out.encode(), capture_output=True)
    check(answer.stdout.decode().strip() == "[]", "jq: nothing is wrong in consistent.mdb")
    code, out, _ = run(["check", "--format", "json", "worked-example.mdb", "copy.mdb"], folder)
    answer = subprocess.run(["jq", "-c", query], input=out.encode(), capture_output=True)
    check(answer.stdout.decode().strip() == '["1001","1002","100202","100201"]',
          "jq: " + answer.stdout.decode())

    # A repair and its undo in the record, as JSON and as CSV.
    environment = dict(os.environ, LEAFWARD_RECORD_DIR=os.path.join(folder, "records"))
    run(["update", "worked-example.mdb"], folder, environment)
    run(["undo", "worked-example.mdb"], folder, environment)
    code, out, _ = run(["history", "--format", "json", "worked-example.mdb"], folder, environment)
    check(code == 0, "history exited %d" % code)
    history = json.loads(out)
    jsonschema.validate(history, history_schema)
    repairs = history["account_sets"][0]["repairs"]
    check([r["kind"] for r in repairs] == ["undo", "repair"], "an undo, then the repair")
    check(repairs[1]["state"] == "undone", "the repair is undone")
    check(repairs[0]["undoes"] == repairs[1]["id"], "the undo names the repair")
    check([len(s["planned"]) for s in repairs[1]["steps"]] == [3, 1], "the codes planned")
    code, out, _ = run(["history", "--format", "csv", "worked-example.mdb"], folder, environment)
    steps = list(csv.DictReader(io.StringIO(out, newline="")))
    check([(s["kind"], s["direction"], s["count"]) for s in steps] ==
          [("undo", "non_leaf", "3"), ("undo", "leaf", "1"), ("repair", "non_leaf", "3"),
           ("repair", "leaf", "1")], "history CSV: %s" % steps)

for failure in failures:
    print("FAILED:", failure)
sys.exit(1 if failures else 0)
