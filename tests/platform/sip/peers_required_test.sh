#!/usr/bin/env bash
# A SIP test whose peer is missing: a skip with the reason when run by hand, a failure under
# ./test (ORVEXA_REQUIRE_PEERS=1), so the suite cannot pass with its SIP tests all skipped.
#   peers_required_test.sh SIP_PEER_TESTS SIP_CAMPAIGN_TESTS
set -uo pipefail
failures=0
# check NAME BINARY TEST VARIABLE REASON: VARIABLE points the peer's program nowhere.
check() {
  local name=$1 binary=$2 test=$3 variable=$4 reason=$5 out rc
  out=$(env -u ORVEXA_REQUIRE_PEERS "$variable=/nonexistent/peer" "$binary" \
        --gtest_filter="$test" 2>&1); rc=$?
  if [ $rc -ne 0 ] || ! grep -q '\[  SKIPPED \]' <<<"$out" || ! grep -qF "$reason" <<<"$out"; then
    echo "FAILED: $name by hand is not a skip that says why (exit $rc)"; echo "$out"
    failures=$((failures + 1))
  fi
  out=$(env ORVEXA_REQUIRE_PEERS=1 "$variable=/nonexistent/peer" "$binary" \
        --gtest_filter="$test" 2>&1); rc=$?
  if [ $rc -eq 0 ] || ! grep -q '\[  FAILED  \]' <<<"$out" || ! grep -qF "$reason" <<<"$out"; then
    echo "FAILED: $name under ./test is not a failure that says why (exit $rc)"; echo "$out"
    failures=$((failures + 1))
  fi
}
check "sipp missing" "$1" 'SipRegistration.DigestChallengeRightAndWrongPassword' ORVEXA_SIPP \
  "sipp is not installed"
check "baresip missing" "$2" 'CampaignOverSip.BaresipHearsTheOpeningMessageOnEveryCall' \
  ORVEXA_BARESIP "baresip with its sndfile module is not installed"
[ $failures -eq 0 ] && echo "ok: a missing peer is a skip by hand and a failure under ./test"
[ $failures -eq 0 ]
