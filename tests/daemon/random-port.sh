# Sourced by the tests' shell scripts: qrvl_random_port prints a random port below the
# ephemeral range, so that no client socket (nor its TIME_WAIT) holds it when a test server
# binds it a moment later.
qrvl_random_port() {
  low=$(cut -f1 /proc/sys/net/ipv4/ip_local_port_range 2>/dev/null) || low=32768
  [ "${low:-0}" -gt 11000 ] || low=32768
  echo $((10000 + $(od -An -N2 -tu2 /dev/urandom) % (low - 10000)))
}
