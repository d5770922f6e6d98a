#!/usr/bin/env bash
# The shipped examples: the generator makes them again byte for byte, and kelto-cli reads every
# one of them, with the content the sample promises (frames, a joined pair, a sprite, a
# background, figure types of the current form with one picture segment).
#   check_examples.sh MAKE_EXAMPLES KELTO_CLI EXAMPLES_DIR WORK_DIR
set -euo pipefail
make_examples=$1 cli=$2 examples=$3 work=$4

fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$work"
"$make_examples" "$work" || fail "the generator failed"

listing() { (cd "$1" && find . -type f | LC_ALL=C sort); }
[[ "$(listing "$examples")" == "$(listing "$work")" ]] ||
  fail "the generator's files differ from the committed ones: $(diff <(listing "$examples") <(listing "$work") | tr '\n' ' ')"

while IFS= read -r -d '' file; do
  rel=${file#"$examples"/}
  if ! cmp -s "$file" "$work/$rel"; then
    if [[ "$("$cli" info "$file")" == "$("$cli" info "$work/$rel")" ]]; then
      fail "$rel: same content, other bytes (another zlib?); run tools/make_examples examples"
    fi
    fail "$rel: the generator makes a different file; run tools/make_examples examples"
  fi
done < <(find "$examples" -type f -print0)

sample="$examples/animations/Sample.kel"
info=$("$cli" info "$sample") || fail "kelto-cli cannot read the sample animation"
frames=$(grep -o '"drawOrder"' <<<"$info" | wc -l)
((frames >= 24)) || fail "the sample has $frames frames, fewer than 24"
grep -q '"joined":1' <<<"$info" || fail "the sample has no joined figures"
grep -q '"imageCount":1' <<<"$info" || fail "the sample has no sprite"
grep -q '"backgrounds":\[{' <<<"$info" || fail "the sample has no background"

types=0 pictures=0
while IFS= read -r -d '' stk; do
  out=$("$cli" info "$stk") || fail "kelto-cli cannot read $stk"
  grep -q '"generation":"V4"' <<<"$out" || fail "$stk is not in the current form"
  grep -q '"kind":2' <<<"$out" && pictures=$((pictures + 1))
  types=$((types + 1))
done < <(find "$examples/stick figures" -name '*.stk' -print0)
((types >= 6)) || fail "only $types figure types"
((pictures >= 1)) || fail "no figure type with a picture segment"

# A frame renders: the first one, at the animation's size.
"$cli" render "$sample" -o "$work/frame.png" --frame 0 || fail "the sample does not render"
[[ -s "$work/frame.png" ]] || fail "the rendered frame is empty"
echo "examples: $frames frames, $types figure types"
