#!/usr/bin/env python3
"""Answers text-diff questions with Debian's python3-diff-match-patch, for tests that compare the
program's diff engine with it.

Reads one JSON object from standard input: {"cases": [case, ...]}, where a case is
  {"op": "main", "a": text, "b": text, "checklines": bool, "timeout": seconds, "semantic": bool}
      diff_main(a, b, checklines) with Diff_Timeout = timeout, then diff_cleanupSemantic when
      "semantic" is true;
  {"op": "cleanupSemantic" | "cleanupSemanticLossless" | "cleanupMerge", "diffs": diffs}
      that cleanup applied to the given list.
Diffs are lists of [operation, text] with the operation "DELETE", "INSERT" or "EQUAL".
Writes a JSON list with one result (a list of diffs) per case to standard output.
"""

import json
import sys

from diff_match_patch import diff_match_patch

TO_PEER = {"DELETE": diff_match_patch.DIFF_DELETE, "INSERT": diff_match_patch.DIFF_INSERT,
           "EQUAL": diff_match_patch.DIFF_EQUAL}
FROM_PEER = {v: k for k, v in TO_PEER.items()}


def run(case):
    dmp = diff_match_patch()
    op = case["op"]
    if op == "main":
        dmp.Diff_Timeout = case.get("timeout", 0)
        diffs = dmp.diff_main(case["a"], case["b"], case.get("checklines", True))
        if case.get("semantic", False):
            dmp.diff_cleanupSemantic(diffs)
    else:
        diffs = [(TO_PEER[o], t) for o, t in case["diffs"]]
        getattr(dmp, "diff_" + op)(diffs)
    return [[FROM_PEER[o], t] for o, t in diffs]


def main():
    request = json.load(sys.stdin)
    json.dump([run(c) for c in request["cases"]], sys.stdout)


if __name__ == "__main__":
    main()
