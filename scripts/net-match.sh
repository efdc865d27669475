#!/usr/bin/env bash
# A match of two networks in the same engine binary: each side gets a folder of its own with
# the repository's tervik.ini and only nnue_path changed. Prints match.mjs's summary (Elo and
# its 95% interval for the first network).
#
#   scripts/net-match.sh NEW.nnue OLD.nnue [GAMES] [TIME] [CONCURRENCY] [ENGINE]
#
# TIME is a match.mjs control: "tc=5+0.05" (default) or "depth=8". GAMES default 400, played in
# pairs with colours reversed from the openings in ../shared/data/openings/2moves_v1.epd
# (shuffled with seed 1). ENGINE defaults to build/release/tervik. The match runner is copied
# to build/match and installed on first use. Folders and the PGN go under build/net-match/.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
[ $# -ge 2 ] || { sed -n '2,11p' "$0" >&2; exit 2; }
new=$(realpath "$1")
old=$(realpath "$2")
games=${3:-400}
limit=${4:-tc=5+0.05}
concurrency=${5:-6}
engine=$(realpath "${6:-build/release/tervik}")
# shared/ stands beside the checkout (../shared), or beside the worktrees' folder.
shared=$top/../shared
[ -d "$shared" ] || shared=$top/../../shared
openings=${OPENINGS:-$shared/data/openings/2moves_v1.epd}

if [ ! -d build/match/node_modules ]; then
  rm -rf build/match
  cp -r "$shared/tools/match" build/match
  (cd build/match && npm install --silent)
fi

work=build/net-match/$(basename "$new" .nnue)-vs-$(basename "$old" .nnue)
rm -rf "$work"
mkdir -p "$work/new" "$work/old"
sed "s|^nnue_path=.*|nnue_path=$new|" tervik.ini > "$work/new/tervik.ini"
sed "s|^nnue_path=.*|nnue_path=$old|" tervik.ini > "$work/old/tervik.ini"

case "$limit" in
  tc=*) limit_args=(--tc "${limit#tc=}") ;;
  depth=*) limit_args=(--depth "${limit#depth=}") ;;
  *) echo "TIME is tc=BASE+INC or depth=N" >&2; exit 2 ;;
esac

node build/match/match.mjs \
  --engine name="$(basename "$new" .nnue)" cmd="$engine" dir="$work/new" \
  --engine name="$(basename "$old" .nnue)" cmd="$engine" dir="$work/old" \
  "${limit_args[@]}" --games "$games" --concurrency "$concurrency" \
  --openings "$openings" --repeat --seed 1 \
  --draw-adjudicate movenumber=40 movecount=8 score=10 \
  --resign-adjudicate movecount=3 score=1000 twosided=1 \
  --pgnout "$work/games.pgn" --quiet
