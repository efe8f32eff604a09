# Shared by the demo and the long run: the simulator on a free port and a GEN6 till beside it.
# Source it; it defines functions only.

# wait_for_sim_port OUT: waits for the simulator's "PORT n" line in OUT/scrm-sim.out and prints n.
wait_for_sim_port() {
    local out=$1
    for _ in $(seq 1 100); do
        grep -q '^PORT ' "$out/scrm-sim.out" 2>/dev/null && break
        sleep 0.1
    done
    sed -n 's/^PORT //p' "$out/scrm-sim.out" | head -n 1
}

# lay_out_gen6_till TILL BUILD PORT ROOT: host executable, the library, the scripted cashier,
# the INI files and a SQLite POS database with GEN6 key definitions.
lay_out_gen6_till() {
    local till=$1 build=$2 port=$3 root=$4
    mkdir -p "$till/work"
    cp "$build/pos-host" "$build/libTwCouponPay5.so" "$build/libcashier-robot.so" "$till/"
    cat > "$till/TwCouponPay5.ini" <<INI
[Config]
Url=http://127.0.0.1:$port
TimeOut=10
SysType=GEN6
DiscountCountMax=0
INI
    cat > "$till/config.ini" <<INI
[Config]
OrgCode=A01
PosNo=001
[DataBase]
DbType=SQLITE
DBName=pos.db
INI
    rm -f "$till/pos.db"
    sqlite3 "$till/pos.db" < "$root/samples/demo/keys-gen6.sql"
}
