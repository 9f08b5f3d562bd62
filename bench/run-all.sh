#!/usr/bin/env bash
# Runs every benchmark of the build against the large sample club, headless. Each benchmark prints its own
# lines, one per figure: "name: value unit (x.xx vs baseline)", the baseline measured in the same run.
#   bash bench/run-all.sh BUILD_DIR LARGE_CLUB.db
set -uo pipefail

BUILD=${1:?uso: run-all.sh CARPETA_BUILD CLUB_GRANDE.db}
LARGE=${2:?uso: run-all.sh CARPETA_BUILD CLUB_GRANDE.db}
export QT_QPA_PLATFORM=offscreen
# Qt wants a private runtime folder; a throwaway one keeps the runs from touching the user's.
XDG_RUNTIME_DIR=$(mktemp -d) || exit 1
export XDG_RUNTIME_DIR
trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT

if [[ ! -f $LARGE ]]; then
  echo "run-all.sh: no existe el club grande $LARGE (make bench lo genera)" >&2
  exit 2
fi

# Benchmarks sit next to the program; a build from before that may still have them under bench/.
shopt -s nullglob
declare -A seen=()
benches=()
for b in "$BUILD"/bench_* "$BUILD"/bench/bench_*; do
  name=$(basename "$b")
  [[ -f $b && -x $b && -z ${seen[$name]:-} ]] || continue
  seen[$name]=1
  benches+=("$b")
done
if ((${#benches[@]} == 0)); then
  echo "run-all.sh: no hay benchmarks en $BUILD" >&2
  exit 1
fi

status=0
for b in "${benches[@]}"; do
  if ! "$b" "$LARGE"; then
    echo "run-all.sh: $(basename "$b") falló" >&2
    status=1
  fi
done
exit $status
