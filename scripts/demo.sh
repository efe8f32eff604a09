#!/usr/bin/env bash
# The demo: builds everything, starts the SCRM simulator with a member's wallet, lays out a
# till and runs a SALE paid with coupons through the sample host, then a VOID (return) that
# gives the first coupon back and a CANCEL of the rest of the coupon payment.
# With a display the cashier works the real window; without one a scripted cashier does and
# screenshots are written.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
. "$root/scripts/lib/till.sh"
bash scripts/build.sh

out="$root/demo-out"
rm -rf "$out"
mkdir -p "$out/till/work" "$out/screenshots"

# The simulator, on a free loopback port.
"$root/build/scrm-sim" --wallet "$root/samples/wallet.json" --port 0 --record "$out/requests.jsonl" \
    > "$out/scrm-sim.out" 2> "$out/scrm-sim.err" &
sim=$!
trap 'kill $sim 2>/dev/null || true' EXIT
port=$(wait_for_sim_port "$out")
[ -n "$port" ] || { echo "demo: the simulator did not start"; cat "$out/scrm-sim.err"; exit 1; }
echo "SCRM simulator (wallet mode) on http://127.0.0.1:$port"

# The till: host executable, our library, INI files and a SQLite POS database with GEN6 keys.
till="$out/till"
lay_out_gen6_till "$till" "$root/build" "$port" "$root"
cat > "$till/TwVipCoupon5.ini" <<INI
[Config]
UiType=1
INI

cashier=()
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${CI:-}" ] && [ -z "${DEMO_SCRIPTED:-}" ]; then
    echo "A display is present: work the coupon dialog yourself (touch, or keys Up/Down, Left to tick, F12 to pay, Esc to leave)."
else
    export QT_QPA_PLATFORM=offscreen
    export GRAB_DIR="$out/screenshots"
    cashier=(--cashier "$root/samples/demo/cashier-sale.txt")
    echo "No display: a scripted cashier ticks two coupons and pays; screenshots go to $GRAB_DIR"
fi

# Every step must end with "000000": pos-host exits non-zero otherwise, and the demo stops there.
run_host() {
    local title=$1; shift
    echo
    echo "=== $title"
    # The offscreen platform reports window features it lacks; they say nothing about the call.
    local status=0
    (cd "$till/work" && "$till/pos-host" --gbk "$@" 2> >(grep -vE 'does not support (propagateSizeHints|raise)|XDG_RUNTIME_DIR' >&2)) || status=$?
    if [ "$status" != 0 ]; then
        echo "demo: $title: failed (pos-host exit $status); the daily log is in $till/work/LOG" >&2
        exit 1
    fi
}

sale="$root/samples/sale"
run_host "SALE paid with coupons" "${cashier[@]}" "$sale/header.xml" "$sale/goods.xml" "$sale/pay.json" "$sale/udp2.json"

# What the sale consumed, as the server recorded it: "code amount" per coupon.
consumed=$(python3 - "$out/requests.jsonl" <<'PY'
import json, sys
for line in open(sys.argv[1], encoding="utf-8"):
    request = json.loads(line)
    if request.get("path") == "/posPortal/batchConsumeCerti" and request.get("signatureValid"):
        for coupon in json.loads(request["fields"]["certiList"]):
            print(coupon["certiCode"], coupon["conSumeTotal"])
PY
)
first_code=$(echo "$consumed" | sed -n '1s/ .*//p')
first_amount=$(echo "$consumed" | sed -n '1s/.* //p')
rest=$(echo "$consumed" | sed -n '2,$s/ .*//p' | paste -sd';')
rest_cents=$(echo "$consumed" | sed -n '2,$s/.* //p' | python3 -c "import sys; print(round(sum(float(x) for x in sys.stdin.read().split()) * 100))")

# The scripted cashier ticks two coupons; a cashier at the display at least one.
if [ -z "$first_code" ] || { [ ${#cashier[@]} -gt 0 ] && [ -z "$rest" ]; }; then
    echo "demo: the server did not record the coupons the SALE consumed (see $out/requests.jsonl)" >&2
    exit 1
fi

# A return of the sale gives the first coupon back (VOID: the host lists the sale's payment lines).
cents=$(python3 -c "print(round(float('$first_amount') * 100))")
sed -e "s|<txn_type>[^<]*</txn_type>|<txn_type>VOID</txn_type>|" \
    -e "s|<tr_amt>[^<]*</tr_amt>|<tr_amt>$cents</tr_amt>|" \
    -e "s|<SsTotal>[^<]*</SsTotal>|<SsTotal>$first_amount</SsTotal>|" \
    "$root/samples/void/header.xml" > "$out/void-header.xml"
sed -e "s|<TOTAL>[^<]*</TOTAL>|<TOTAL>$first_amount</TOTAL>|" \
    -e "s|<PAYNO>[^<]*</PAYNO>|<PAYNO>$first_code</PAYNO>|" \
    "$root/samples/void/pay.xml" > "$out/void-pay.xml"
run_host "VOID: the sale is returned, coupon $first_code ($first_amount) comes back" "$out/void-header.xml" \
    "$root/samples/void/goods.xml" "$out/void-pay.xml" "$root/samples/void/udp2.json"

# The cashier cancels the rest of the coupon payment: the host passes those codes in PayNo.
# (A cashier at the display may have ticked one coupon only; then there is nothing to cancel.)
if [ -n "$rest" ]; then
    sed -e "s|<PayNo>[^<]*</PayNo>|<PayNo>${rest}</PayNo>|" -e "s|<tr_amt>[^<]*</tr_amt>|<tr_amt>${rest_cents}</tr_amt>|" \
        "$root/samples/cancel/header.xml" > "$out/cancel-header.xml"
    run_host "CANCEL of the rest of the coupon payment (PayNo $rest)" "$out/cancel-header.xml" \
        "$root/samples/cancel/goods.xml" "$root/samples/cancel/pay.json" "$root/samples/cancel/udp2.json"
fi

echo
echo "Daily log:        $(ls "$till"/work/LOG/PayLog*.txt)"
echo "Server requests:  $out/requests.jsonl"
if [ ${#cashier[@]} -gt 0 ]; then
    echo "Screenshots:      $(ls "$out"/screenshots/*.png 2>/dev/null | tr '\n' ' ')"
fi
