#!/bin/sh
# Compiler launcher of the check-only targets: runs the compile command it is given as a check
# (-fsyntax-only: all diagnostics, no code) and leaves an empty object file in place of the
# object, so that the build sees the step done until a source or header changes.
object=
previous=
for argument in "$@"; do
  if [ "$previous" = "-o" ]; then object=$argument; fi
  previous=$argument
done
"$@" -fsyntax-only && : >"$object"
