#!/usr/bin/env bash
# One generation of the network: self-play data from the current network, then a network
# trained on that data and on the earlier generations' data, then (optionally) its match
# against the current network. Data stays outside the repository (it is too large to commit).
#
#   scripts/net-generation.sh data  NET OUT_PREFIX SEED [datagen options...]
#   scripts/net-generation.sh train OUT.nnue SEED LAMBDA PASSES DATA_DIR...
#   scripts/net-generation.sh match NEW.nnue OLD.nnue [GAMES] [TIME] [CONCURRENCY]
#
# data:  tervik-datagen with NET on every core, files OUT_PREFIX.K.data / .val; the options
#        after SEED go to tervik-datagen (e.g. --minutes 40 --nodes 5000). Its log goes to
#        OUT_PREFIX.log.
# train: tervik-train on every DIR/*.data, validated on every DIR/*.val, with the settings of
#        nets/README.md, on THREADS threads (default 8: the thread count is part of what
#        makes the file byte for byte); its log goes to OUT.nnue.log.
# match: scripts/net-match.sh.
# Builds build/release first when a program is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -ge 1 ] || { sed -n '2,17p' "$0" >&2; exit 2; }
bin=build/release
[ -x $bin/tervik-datagen ] && [ -x $bin/tervik-train ] || bash scripts/build.sh release

step=$1
shift
case "$step" in
  data)
    [ $# -ge 3 ] || { echo "data NET OUT_PREFIX SEED [options]" >&2; exit 2; }
    net=$1 prefix=$2 seed=$3
    shift 3
    mkdir -p "$(dirname "$prefix")"
    $bin/tervik-datagen --net "$net" --out "$prefix" --seed "$seed" --report 60 "$@" \
      2>&1 | tee "$prefix.log"
    ;;
  train)
    [ $# -ge 5 ] || { echo "train OUT.nnue SEED LAMBDA PASSES DATA_DIR..." >&2; exit 2; }
    out=$1 seed=$2 lambda=$3 passes=$4
    shift 4
    data=() val=()
    for dir in "$@"; do
      for f in "$dir"/*.data; do data+=("$f"); done
      for f in "$dir"/*.val; do [ -s "$f" ] && val+=(--val "$f"); done
    done
    $bin/tervik-train "${data[@]}" "${val[@]}" --out "$out" --seed "$seed" \
      --lambda "$lambda" --passes "$passes" --batch 16384 --lr 0.001 --threads "${THREADS:-8}" \
      2>&1 | tee "$out.log"
    ;;
  match)
    exec scripts/net-match.sh "$@"
    ;;
  *)
    echo "unknown step $step (data, train or match)" >&2
    exit 2
    ;;
esac
