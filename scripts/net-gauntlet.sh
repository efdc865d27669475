#!/usr/bin/env bash
# The shipped network's yardstick: the engine (Hash 64, one thread) against Debian's glaurung
# (Threads 1, OwnBook false), toga2 (OwnBook false) and phalanx (XBoard, no book, no learning),
# paired games from the shared openings. Prints match.mjs's summary per opponent.
#
#   scripts/net-gauntlet.sh [NET.nnue] [GAMES] [TC] [CONCURRENCY] [ENGINE] [OPPONENTS]
#
# Defaults: the network tervik.ini names, 200 games, 10+0.1, concurrency 6,
# build/release/tervik, "glaurung toga2 phalanx". Installs the opponents with apt-get when they
# are missing. Logs and PGN go to build/gauntlet/.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
net=$(realpath "${1:-$(sed -n 's/^nnue_path=//p' tervik.ini)}")
games=${2:-200}
tc=${3:-10+0.1}
concurrency=${4:-6}
engine=$(realpath "${5:-build/release/tervik}")
opponents=${6:-glaurung toga2 phalanx}
shared=$top/../shared
[ -d "$shared" ] || shared=$top/../../shared
openings=${OPENINGS:-$shared/data/openings/2moves_v1.epd}

for pkg in glaurung toga2 phalanx; do
  [ -x /usr/games/$pkg ] || apt-get install -y $pkg >/dev/null
done
if [ ! -d build/match/node_modules ]; then
  rm -rf build/match
  cp -r "$shared/tools/match" build/match
  (cd build/match && npm install --silent)
fi

work=build/gauntlet
mkdir -p "$work/tervik"
sed "s|^nnue_path=.*|nnue_path=$net|" tervik.ini > "$work/tervik/tervik.ini"
for opponent in $opponents; do
  case $opponent in
    glaurung) opponent_args=(name=glaurung cmd=/usr/games/glaurung option.Threads=1 option.OwnBook=false) ;;
    toga2) opponent_args=(name=toga2 cmd=/usr/games/toga2 option.OwnBook=false) ;;
    phalanx) opponent_args=(name=phalanx cmd=/usr/games/phalanx proto=xboard "args=-b- -l-") ;;
    *) echo "unknown opponent $opponent" >&2; exit 2 ;;
  esac
  echo "== tervik ($(basename "$net")) vs $opponent, $games games at $tc"
  node build/match/match.mjs \
    --engine name=tervik cmd="$engine" dir="$work/tervik" option.Hash=64 \
    --engine "${opponent_args[@]}" \
    --tc "$tc" --games "$games" --concurrency "$concurrency" \
    --openings "$openings" --repeat --seed 1 \
    --pgnout "$work/$opponent.pgn" --quiet 2>&1 | tee "$work/$opponent.log"
done
