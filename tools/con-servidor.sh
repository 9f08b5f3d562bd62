#!/usr/bin/env bash
# Runs a command with a throwaway PostgreSQL cluster on loopback (Debian's pg_virtualenv): PGHOST, PGPORT,
# PGUSER and PGPASSWORD name it; it lives in a temporary folder (so that several can run at once) and is
# removed when the command ends. Durability is off: it is thrown away.
set -euo pipefail
exec pg_virtualenv -t -o fsync=off -o synchronous_commit=off -o full_page_writes=off \
  -o max_connections=200 -o shared_buffers=256MB "$@"
