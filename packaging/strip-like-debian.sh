#!/bin/sh
# objcopy as CPack calls it to split off the debug symbols; when it strips,
# it also drops the compiler's notes, as Debian's own packages do (dh_strip).
if [ "$1" = --strip-unneeded ]; then
  exec objcopy --remove-section=.comment --remove-section=.note "$@"
fi
exec objcopy "$@"
