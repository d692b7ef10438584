# Sourced by scripts that start servers on ports of their own: reserve_port sets $reserved to a port of
# 127.0.0.1 outside the range the kernel hands to outgoing connections, with nothing listening on it,
# held for as long as the sourcing shell runs (and whatever it starts inherits the hold) by a lock that
# every test run on this machine respects (tests/support/test_ports.cpp takes the same locks): two runs
# side by side never take the same one.
qentara_port_locks=/tmp/qentara-test-ports
reserve_port() {
  local ephemeral highest port fd
  mkdir -p "$qentara_port_locks" && { chmod 1777 "$qentara_port_locks" 2>/dev/null || true; }
  read -r ephemeral _ </proc/sys/net/ipv4/ip_local_port_range
  highest=$((ephemeral > 11000 ? ephemeral - 1 : 10999))
  while :; do
    port=$((10000 + (RANDOM * 32768 + RANDOM) % (highest - 10000 + 1)))
    exec {fd}<>"$qentara_port_locks/$port.lock" || continue
    chmod 666 "$qentara_port_locks/$port.lock" 2>/dev/null || true
    if flock -n "$fd" && ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
      reserved=$port
      return
    fi
    exec {fd}>&-
  done
}
