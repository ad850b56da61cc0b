#!/usr/bin/env bash
# Whether --fast gives the same statistics as the default draws.
#   bash bench/fast_vs_default.sh [BUILD] [SEEDS] [PLANTED_SEEDS]
# For nancycats and microbov (model 1, -n 100 -s 20 -c 3), SEEDS seeds (20)
# each: the mean R_hat and mean s.e. of default and fast runs with the
# standard error of their difference (they should agree within three), and
# how often fast disagrees with default on the chosen level and on the
# accepted pairs, beside how often two default runs with different seeds do.
# Then model 3 runs planting 100 recaptures among 1,000 simulated samples
# over PLANTED_SEEDS seeds (5): the recaptures each mode recovers.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
tarvo=$root/${1:-build/release}/tarvo
seeds=${2:-20}
planted=${3:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One run: prints level, accepted pairs, R_hat, s.e. and the accepted pairs' names.
one() {
  local dir=$1
  shift
  mkdir -p "$dir"
  (cd "$dir" && "$tarvo" "$@" -t "$(nproc)" >out.txt 2>&1) || true
  awk -F'[ :]+' '
    /^  Level:/ { level = $3 $4 }
    /^  Accepted pairs:/ { pairs = $4 }
    /^  Corrected recaptures:/ { r = $4; se = $6; sub(/\)/, "", se) }
    END { printf "%s %s %s %s\n", level, pairs, r, se }' "$dir/out.txt"
}

echo "uptime: $(uptime)"
for data in nancycats microbov; do
  input=$root/tests/data/$data.gen
  : >"$work/$data.txt"
  for ((s = 1; s <= seeds; ++s)); do
    args=(-1 "$input" -n 100 -s 20 -c 3)
    d1=$(one "$work/$data/d$s" "${args[@]}" -r "$s")
    d2=$(one "$work/$data/e$s" "${args[@]}" -r "$((s + 1000))")
    f1=$(one "$work/$data/f$s" "${args[@]}" -r "$s" --fast)
    echo "$d1 | $d2 | $f1" >>"$work/$data.txt"
  done
  echo "== $data, model 1, -n 100 -s 20 -c 3, $seeds seeds (level pairs R_hat se)"
  awk -F' [|] ' -v data="$data" '
    function mean(a, n,   s, k) { s = 0; for (k = 1; k <= n; ++k) s += a[k]; return s / n }
    function var(a, n, m,   s, k) { s = 0; for (k = 1; k <= n; ++k) s += (a[k] - m) ^ 2; return n > 1 ? s / (n - 1) : 0 }
    {
      split($1, d, " "); split($2, e, " "); split($3, f, " ")
      ++n; dr[n] = d[3]; fr[n] = f[3]; ds[n] = d[4]; fs[n] = f[4]
      lev_df += d[1] != f[1]; lev_dd += d[1] != e[1]
      acc_df += d[2] != f[2]; acc_dd += d[2] != e[2]
    }
    END {
      mdr = mean(dr, n); mfr = mean(fr, n); mds = mean(ds, n); mfs = mean(fs, n)
      ser = sqrt((var(dr, n, mdr) + var(fr, n, mfr)) / n)
      ses = sqrt((var(ds, n, mds) + var(fs, n, mfs)) / n)
      printf "mean R_hat  default %.3f  fast %.3f  difference %.3f  s.e. %.3f  %s\n", mdr, mfr, mfr - mdr, ser, (mfr - mdr) ^ 2 <= 9 * ser ^ 2 ? "agree" : "DIFFER"
      printf "mean s.e.   default %.3f  fast %.3f  difference %.3f  s.e. %.3f  %s\n", mds, mfs, mfs - mds, ses, (mfs - mds) ^ 2 <= 9 * ses ^ 2 ? "agree" : "DIFFER"
      printf "level differs:          fast vs default %d/%d, default vs default (other seed) %d/%d\n", lev_df, n, lev_dd, n
      printf "accepted pairs differ:  fast vs default %d/%d, default vs default (other seed) %d/%d\n", acc_df, n, acc_dd, n
    }' "$work/$data.txt"
done

echo "== model 3: 1,000 samples simulated from microbov, 100 planted recaptures, $planted seeds"
for ((s = 1; s <= planted; ++s)); do
  args=(-1 "$root/tests/data/microbov.gen" -M 1000 -R 100 -n 100 -s 20 -c 3 -r "$s")
  d=$(one "$work/m3/d$s" "${args[@]}")
  f=$(one "$work/m3/f$s" "${args[@]}" --fast)
  echo "seed $s  default: level $(echo "$d" | cut -d' ' -f1) accepted $(echo "$d" | cut -d' ' -f2) R_hat $(echo "$d" | cut -d' ' -f3) (s.e. $(echo "$d" | cut -d' ' -f4))   fast: level $(echo "$f" | cut -d' ' -f1) accepted $(echo "$f" | cut -d' ' -f2) R_hat $(echo "$f" | cut -d' ' -f3) (s.e. $(echo "$f" | cut -d' ' -f4))"
done
echo "uptime: $(uptime)"
