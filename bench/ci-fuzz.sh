#!/usr/bin/env bash
# Every fuzz target for 30 seconds; non-zero on any crash.
exec "$(dirname "$0")/run-fuzzers.sh" 30 "$@"
