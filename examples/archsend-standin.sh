#!/bin/sh
# A stand-in for the uploader ArchSend.exe, for trying the driver on Linux. Placed as
# LocalPath/ArchSend.exe (executable), it is started by the driver after each archived Z report,
# without arguments, and leaves a line in ArchSend.log beside itself: when it was started and
# the archive files it would send.
here=$(dirname "$0")
{
  printf 'ArchSend.exe started %s; archive files:' "$(date '+%d-%m-%Y %H:%M:%S')"
  for f in "$here"/*.zre; do
    [ -e "$f" ] && printf ' %s' "$(basename "$f")"
  done
  printf '\n'
} >>"$here/ArchSend.log"
