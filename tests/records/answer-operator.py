#!/usr/bin/env python3
"""answer-operator.py OUT PROGRAM ARGS...: runs PROGRAM on a terminal of its own (a pty) and
answers its operator steps as an operator at the virtual board would: the board's serial
scanned (VB-0001), Enter for a prompt, y for a question. Its output goes to OUT; its exit
status is PROGRAM's. Each answer is typed once its question is shown, as an operator would.
"""
import os
import pty
import select
import sys
import time

ANSWERS = [(b"Scan or type it, then Enter: ", b"VB-0001\n"),
           (b"if it cannot be done: ", b"\n"),
           (b"[y/n]: ", b"y\n")]

out_path, program, arguments = sys.argv[1], sys.argv[2], sys.argv[2:]
pid, terminal = pty.fork()
if pid == 0:
    os.execv(program, arguments)

shown = b""
answered = 0  # how much of the output the answers given so far have seen
deadline = time.monotonic() + 30
while time.monotonic() < deadline:
    ready, _, _ = select.select([terminal], [], [], 1)
    if not ready:
        continue
    try:
        chunk = os.read(terminal, 4096)
    except OSError:  # the program ended: its terminal hung up
        break
    if not chunk:
        break
    shown += chunk
    while True:
        found = [(shown.find(prompt, answered), prompt, answer) for prompt, answer in ANSWERS]
        found = [each for each in found if each[0] >= 0]
        if not found:
            break
        at, prompt, answer = min(found)
        answered = at + len(prompt)
        os.write(terminal, answer)
else:
    os.kill(pid, 9)
    shown += b"\nanswer-operator.py: still running after 30 s\n"

with open(out_path, "wb") as out:
    out.write(shown)
_, status = os.waitpid(pid, 0)
sys.exit(os.waitstatus_to_exitcode(status))
