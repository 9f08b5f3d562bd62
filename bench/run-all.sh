#!/usr/bin/env bash
# Runs every benchmark of the build against the large sample club, headless. Each benchmark prints its own
# lines, one per figure: "name: value unit (x.xx vs baseline)", the baseline measured in the same run.
# Then, when PostgreSQL is installed, the same benchmarks on a throwaway server (tools/con-servidor.sh)
# holding the same club, each figure as "name_pg: value unit (x.xx vs sqlite)", against the figure of the
# same name just measured on the file.
#   bash bench/run-all.sh BUILD_DIR LARGE_CLUB.db
# With MIRABEL_BENCH_SERVIDOR=1 the server part runs on the server that PGHOST, PGPORT, PGUSER and
# PGPASSWORD name (a database is created there and dropped at the end) instead of a throwaway one.
set -uo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
BUILD=${1:?uso: run-all.sh CARPETA_BUILD CLUB_GRANDE.db}
LARGE=${2:?uso: run-all.sh CARPETA_BUILD CLUB_GRANDE.db}
export QT_QPA_PLATFORM=offscreen

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

# The server part, inside the cluster: run-all.sh --servidor BUILD LARGE SQLITE_FIGURES
if [[ ${3:-} == --servidor ]]; then
  SQLITE_OUT=$4
  : >"$SQLITE_OUT.servidor" # the cluster started
  db=mirabel_bench_$$
  url="postgresql://${PGUSER:-$(id -un)}@${PGHOST:-localhost}:${PGPORT:-5432}/$db"
  cleanup() { dropdb --if-exists --force "$db" 2>/dev/null; }
  trap cleanup EXIT
  if ! createdb "$db" || ! "$BUILD/mirabel-bench-load" "$LARGE" "$url"; then
    echo "run-all.sh: no se pudo cargar el club en el servidor" >&2
    exit 1
  fi
  status=0
  for b in "${benches[@]}"; do
    # Each figure beside the file's figure of the same name; notes and other lines as they come.
    "$b" "$url" | awk -v ref="$SQLITE_OUT" '
      function figure(line, f,   i, n, parts) {
        i = index(line, ": ")
        if (i == 0) return 0
        f["name"] = substr(line, 1, i - 1)
        if (f["name"] !~ /^[A-Za-z0-9_]+$/) return 0
        n = split(substr(line, i + 2), parts, " ")
        if (parts[1] !~ /^-?[0-9]+(\.[0-9]+)?$/) return 0
        f["value"] = parts[1]
        f["unit"] = (n >= 2 && parts[2] !~ /^\(/) ? parts[2] : ""
        sub(/,$/, "", f["unit"])
        return 1
      }
      BEGIN { while ((getline l < ref) > 0) if (figure(l, f)) sqlite[f["name"]] = f["value"] }
      {
        if (!figure($0, f)) {
          # A named line without a figure (a case left out) keeps its name, marked as the server run.
          if (match($0, /^[A-Za-z0-9_]+: /)) print substr($0, 1, RLENGTH - 2) "_pg" substr($0, RLENGTH - 1)
          else print
          fflush()
          next
        }
        unit = f["unit"] == "" ? "" : " " f["unit"]
        if (f["name"] in sqlite && sqlite[f["name"]] + 0 != 0)
          printf "%s_pg: %s%s (%.2fx vs sqlite)\n", f["name"], f["value"], unit, f["value"] / sqlite[f["name"]]
        else
          printf "%s_pg: %s%s (sin cifra en sqlite)\n", f["name"], f["value"], unit
        fflush()
      }'
    if [[ ${PIPESTATUS[0]} != 0 ]]; then
      echo "run-all.sh: $(basename "$b") falló en el servidor" >&2
      status=1
    fi
  done
  exit $status
fi

# Qt wants a private runtime folder; a throwaway one keeps the runs from touching the user's.
XDG_RUNTIME_DIR=$(mktemp -d) || exit 1
export XDG_RUNTIME_DIR
FIGURES=$XDG_RUNTIME_DIR/sqlite.txt
trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT

status=0
for b in "${benches[@]}"; do
  "$b" "$LARGE" | tee -a "$FIGURES"
  if [[ ${PIPESTATUS[0]} != 0 ]]; then
    echo "run-all.sh: $(basename "$b") falló" >&2
    status=1
  fi
done

if [[ ${MIRABEL_BENCH_SERVIDOR:-} == 1 ]]; then
  bash "$HERE/run-all.sh" "$BUILD" "$LARGE" --servidor "$FIGURES" || status=1
elif command -v pg_virtualenv >/dev/null; then
  # As root pg_virtualenv makes its cluster under one fixed name: while another run (a `make test`) holds it,
  # this one waits for it, up to ten minutes.
  for ((try = 0; ; try++)); do
    bash "$HERE/../tools/con-servidor.sh" bash "$HERE/run-all.sh" "$BUILD" "$LARGE" --servidor "$FIGURES"
    rc=$?
    [[ $rc == 0 || -e $FIGURES.servidor ]] && break
    if ((try >= 20)); then
      echo "run-all.sh: no se pudo iniciar el servidor de prueba: no hay líneas _pg" >&2
      break
    fi
    ((try == 0)) && echo "run-all.sh: el servidor de prueba está en uso por otra corrida; se espera que se libere" >&2
    sleep 30
  done
  ((rc == 0)) || status=1
else
  echo "PostgreSQL no está instalado (falta pg_virtualenv): no se mide en el servidor, no hay líneas _pg."
fi
exit $status
