#!/usr/bin/env python3
"""Writes the manual page of a command-line program from its own --help and --version texts.

  gen_manpage.py PROGRAM NAME_LINE SECTIONS.roff OUTPUT.1 [CHANGELOG]

The help text is set as it is printed (no filling), so the page says exactly what --help says;
each command whose `PROGRAM COMMAND --help` prints a help of its own gets a subsection.
SECTIONS.roff holds what --help leaves out (a description, exit codes, environment, files), in
roff; its sections go after the help text. The page's date is the month of the newest entry of the
Debian CHANGELOG (so the page is the same at every build), in German as the page is.
"""
import os
import email.utils
import re
import subprocess
import sys

MONTHS = ["Januar", "Februar", "März", "April", "Mai", "Juni", "Juli", "August", "September",
          "Oktober", "November", "Dezember"]


def page_date(changelog):
    """"Dezember 2026" from the changelog's first trailer line, "" without one."""
    if not changelog:
        return ""
    with open(changelog, encoding="utf-8") as f:
        for line in f:
            if line.startswith(" -- ") and "  " in line[4:]:
                when = email.utils.parsedate_to_datetime(line[4:].split("  ", 1)[1].strip())
                return f"{MONTHS[when.month - 1]} {when.year}"
    return ""


def run(*args):
    env = dict(os.environ, LC_ALL="C.UTF-8", QUIRABEL_HOME=os.environ.get("QUIRABEL_HOME", "/nonexistent"))
    done = subprocess.run(args, capture_output=True, text=True, env=env, timeout=60)
    return done.returncode, done.stdout


def verbatim(text):
    out = [".nf"]
    for line in text.rstrip("\n").split("\n"):
        line = line.replace("\\", "\\e").replace("-", "\\-")
        if line.startswith((".", "'")):
            line = "\\&" + line
        out.append(line if line.strip() else "")
    out.append(".fi")
    return "\n".join(out)


def main():
    program, name_line, sections_file, output = sys.argv[1:5]
    date = page_date(sys.argv[5] if len(sys.argv) > 5 else "")
    name = os.path.basename(program)
    code, help_text = run(program, "--help")
    if code != 0:
        sys.exit(f"{program} --help failed with {code}")
    code, version = run(program, "--version")
    version = version.strip().split("\n")[0] if code == 0 else name
    # "Aufruf:" opens the usage lines; the commands are the first word after the program's name.
    usage, _, rest = help_text.partition("\n\n")
    commands = []
    for line in usage.split("\n"):
        m = re.match(r"\s*" + re.escape(name) + r"\s+([a-z][a-z0-9-]*)", line)
        if m and m.group(1) not in commands:
            commands.append(m.group(1))
    with open(sections_file, encoding="utf-8") as f:
        sections = f.read().strip("\n")
    description, _, more = sections.partition("\n.SH ")
    page = [
        f'.TH {name.upper()} 1 "{date}" "{version}" "Benutzerbefehle"',
        # German text: hyphenation by English rules would split its words wrongly.
        ".nr HY 0",
        ".nh",
        ".SH NAME",
        f"{name} \\- {name_line}",
        ".SH SYNOPSIS",
        verbatim(usage.split("\n", 1)[1] if usage.startswith("Aufruf:") else usage),
        description,
        ".PP",
        verbatim(rest),
    ]
    sub = []
    for command in commands:
        code, text = run(program, command, "--help")
        if code == 0 and text.strip() and text != help_text:
            sub += [f".SS {command}", verbatim(text)]
    if sub:
        page += [".SH BEFEHLE"] + sub
    if more:
        page.append(".SH " + more)
    with open(output, "w", encoding="utf-8") as f:
        f.write("\n".join(page) + "\n")


if __name__ == "__main__":
    main()
