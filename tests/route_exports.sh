#!/usr/bin/env bash
# The route library exports the route unit and nothing else: every dynamic symbol it defines is in
# namespace trelvo, and the follower, makeLegs and the clearance decision are among them.
set -euo pipefail
library=$1
symbols=$(nm -D --defined-only "$library" | c++filt | cut -d' ' -f2-)
if stray=$(grep -v -E '^[BDTWuV] trelvo::' <<<"$symbols"); then
  echo "exported beyond the route unit:"
  echo "$stray"
  exit 1
fi
for expected in 'T trelvo::makeLegs' 'T trelvo::RouteFollower::cycle' 'T trelvo::RouteFollower::holdStill' \
  'T trelvo::decideClearance'; do
  if ! grep -q -E "^$expected" <<<"$symbols"; then
    echo "missing export: $expected"
    exit 1
  fi
done
echo "route exports: $(wc -l <<<"$symbols") symbols, all of the route unit"
