#!/usr/bin/env bash
# Long run: one pos-host process makes CYCLES x 5 calls in a row (plan.txt: a SALE worked by the
# scripted cashier, its VOID and CANCEL, then both refused again) against the simulator's wallet.
# The host stops itself between calls at fixed points; this script samples it from outside
# (/proc/<pid>/status, fd, task), lets it go on, and at the end checks every call's result
# against expected/<n>-*.txt and that from the first cycle on no thread, file, socket or database
# handle stays behind between calls. Exit status 0 when both hold.
#
#   tools/longrun/longrun.sh [CYCLES]          default 200 cycles = 1000 calls (about 25 minutes)
#   BUILD_DIR=build-x tools/longrun/longrun.sh    binaries from another build folder
#
# Writes longrun-out/ (samples.txt, host.out, host.err, the till with its daily log).
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
. "$root/scripts/lib/till.sh"
here="$root/tools/longrun"
build="${BUILD_DIR:-$root/build}"
[[ "$build" = /* ]] || build="$root/$build"
cycles=${1:-200}
plan_lines=$(grep -cv '^[[:space:]]*\(#\|$\)' "$here/plan.txt")
calls=$((cycles * plan_lines))
out="${OUT_DIR:-$root/longrun-out}"

for binary in pos-host scrm-sim libTwCouponPay5.so libcashier-robot.so; do
    [ -e "$build/$binary" ] || { echo "longrun: $build/$binary is missing; build first"; exit 2; }
done

rm -rf "$out"
mkdir -p "$out/till/work"

"$build/scrm-sim" --wallet "$root/samples/wallet.json" --port 0 > "$out/scrm-sim.out" 2> "$out/scrm-sim.err" &
sim=$!
host=
cleanup() {
    [ -n "$host" ] && kill -CONT "$host" 2>/dev/null && kill "$host" 2>/dev/null || true
    kill "$sim" 2>/dev/null || true
}
trap cleanup EXIT
port=$(wait_for_sim_port "$out")
[ -n "$port" ] || { echo "longrun: the simulator did not start"; cat "$out/scrm-sim.err"; exit 1; }

till="$out/till"
lay_out_gen6_till "$till" "$build" "$port" "$root"

# Start (after the first cycle), quarters, end.
points=$(printf '%s\n' "$plan_lines" $((calls / 4)) $((calls / 2)) $((calls * 3 / 4)) "$calls" | sort -nu | tr '\n' ',')
points=${points%,}

sample() {
    local pid=$1 call=$2
    local rss hwm threads tasks fds sockets db
    rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$pid/status")
    hwm=$(awk '/^VmHWM:/ {print $2}' "/proc/$pid/status")
    threads=$(awk '/^Threads:/ {print $2}' "/proc/$pid/status")
    tasks=$(ls "/proc/$pid/task" | wc -l)
    fds=$(ls "/proc/$pid/fd" | wc -l)
    sockets=$(find "/proc/$pid/fd" -lname 'socket:*' 2>/dev/null | wc -l)
    db=$(find "/proc/$pid/fd" -lname '*pos.db*' 2>/dev/null | wc -l)
    printf '%6s %10s %10s %8s %6s %5s %8s %6s\n' "$call" "$rss" "$hwm" "$threads" "$tasks" "$fds" "$sockets" "$db" \
        | tee -a "$out/samples.txt"
}

echo "longrun: $calls calls ($cycles cycles of $plan_lines), simulator on port $port, samples after calls $points"
printf '%6s %10s %10s %8s %6s %5s %8s %6s\n' call "VmRSS kB" "VmHWM kB" Threads tasks fds sockets pos.db \
    | tee "$out/samples.txt"

export QT_QPA_PLATFORM=offscreen
(cd "$till/work" && exec "$till/pos-host" --gbk --cashier "$here/cashier.txt" --plan "$here/plan.txt" \
    --repeat "$cycles" --pause-after "$points") > "$out/host.out" 2> "$out/host.err" &
host=$!
started=$SECONDS

seen=0
while kill -0 "$host" 2>/dev/null; do
    paused=$(grep -c '^== paused after call' "$out/host.out" || true)
    if [ "$paused" -gt "$seen" ]; then
        call=$(grep '^== paused after call' "$out/host.out" | sed -n "$((seen + 1))s/^== paused after call \([0-9]*\).*/\1/p")
        # Sample only once the stop has taken effect: then nothing of the library runs.
        until [ "$(awk '{print $3}' "/proc/$host/stat" 2>/dev/null)" = T ]; do sleep 0.05; done
        sample "$host" "$call"
        seen=$((seen + 1))
        kill -CONT "$host"
    fi
    sleep 0.2
done
wait "$host" && status=0 || status=$?
host=
echo "longrun: pos-host ended with exit status $status after $((SECONDS - started)) s (1 is expected: the plan ends with a refusal)"

python3 - "$out/host.out" "$here/plan.txt" "$here/expected" "$calls" "$out/samples.txt" "$plan_lines" <<'PY'
import glob, os, re, sys
output, plan, expected_dir, calls = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
samples_path, plan_lines = sys.argv[5], int(sys.argv[6])
expected = [open(f, encoding="utf-8").read()
            for f in sorted(glob.glob(os.path.join(expected_dir, "*.txt")))]
text = open(output, encoding="utf-8").read()
stray = [l for l in text.splitlines() if l.startswith("cashier:")]
text = re.sub(r"^== paused after call .*\n", "", text, flags=re.M)
blocks = re.split(r"^== call \d+\n", text, flags=re.M)[1:]
wrong = [n + 1 for n, block in enumerate(blocks) if block != expected[n % len(expected)]]
print("longrun: %d of %d calls answered, %d differ from the expected result%s"
      % (len(blocks), calls, len(wrong), (": calls " + ", ".join(map(str, wrong[:20]))) if wrong else ""))
for line in stray[:10]:
    print("longrun: " + line)
# From the end of the first cycle on (what Qt sets up once is in place by then) every sample must
# show the same threads, tasks and files, and no socket or database handle left open.
rows = [line.split() for line in open(samples_path, encoding="utf-8").read().splitlines()[1:]]
kept = [(r[3], r[4], r[5]) for r in rows if int(r[0]) >= plan_lines]
leaks = len(kept) < 1 or len(set(kept)) > 1 or any(r[6] != "0" or r[7] != "0" for r in rows if int(r[0]) >= plan_lines)
print("longrun: %s between calls from call %d on (%d samples)"
      % ("threads, tasks or files grew, or a socket or the database stayed open" if leaks
         else "threads, tasks and files unchanged, no socket or database handle open", plan_lines, len(kept)))
sys.exit(0 if len(blocks) == calls and not wrong and not stray and not leaks else 1)
PY
