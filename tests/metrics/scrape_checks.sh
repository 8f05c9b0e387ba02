#!/usr/bin/env bash
# A real scrape of qrvld on the fake sysfs trees, checked with Prometheus's own programs
# (Debian packages prometheus and prometheus-node-exporter; without them the checks fail):
#   scrape_checks.sh QRVLD TREES node-exporter  the node exporter on each tree gives the same
#                                               chip and sensor labels and the same values
#   scrape_checks.sh QRVLD TREES promtool       promtool check metrics has nothing to say
#   scrape_checks.sh QRVLD TREES prometheus     a Prometheus server scraping every second
#                                               answers queries with qrvld's values
#   scrape_checks.sh QRVLD TREES prometheus-tls the same over TLS, with a client certificate
#                                               and a password, by deploy/'s example files
#   scrape_checks.sh QRVLD TREES example-web-config  promtool check web-config passes on the
#                                               example, and qrvld reads it
# Loopback only; every process started here is stopped on exit.
set -euo pipefail
qrvld=$1 trees=$2 check=$3
here=$(cd "$(dirname "$0")" && pwd)
launcher=$here/../daemon/with-qrvld.sh
deploy=$here/../../deploy
work=$(mktemp -d)
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; wait; rm -rf "$work"' EXIT

. "$here/../daemon/random-port.sh"
. "$here/../support/wait-until.sh"
# A TCP port on 127.0.0.1 that nothing listens on.
free_port() {
  local port
  while :; do
    port=$(qrvl_random_port)
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || { echo "$port"; return; }
  done
}

# Saves what $1 answers to $2 once it answers, within 20 s.
fetch() {
  wait_until 20 curl -sf "$1" -o "$2" && return 0
  echo "no answer from $1" >&2
  return 1
}

# One series a line, its value to six places, sorted: the node exporter's values carry the
# float noise of multiplying by 0.001.
normalized() { awk '!/^#/ { value = $NF; $NF = ""; printf "%s%.6f\n", $0, value }' "$1" | sort; }

# qrvld on tree $1, serving metrics on port $2 while the rest of the arguments run; with
# $web set, by that web configuration file.
web=
with_qrvld() {
  local tree=$1 port=$2
  shift 2
  "$launcher" "$qrvld" --source hwmon --sysfs-root "$tree/class/hwmon" --metrics "127.0.0.1:$port" \
    ${web:+--web.config.file "$web"} -- "$@"
}

# deploy/'s example web configuration in $work, with test certificates under the names it
# gives and a hash of the password $1.
example_web_config() {
  bash "$here/make_certs.sh" "$work/tls"
  cp "$work/tls/server.crt" "$work/web.crt"
  cp "$work/tls/server.key" "$work/web.key"
  cp "$work/tls/ca.crt" "$work/ca.crt"
  local hash
  hash=$(htpasswd -nbBC 10 prometheus "$1" | cut -d: -f2)
  sed "s|^  prometheus: .*|  prometheus: $hash|" "$deploy/web-config.yml" >"$work/web-config.yml"
  web=$work/web-config.yml
}

case $check in
  node-exporter)
    # The families both have, named as qrvld names them. The node exporter shows a power
    # meter's average as power_average; qrvld shows it as the reading where there is no input.
    families='chip_names|sensor_label|(temp|in|fan|curr|power)(_min|_max|_crit|_cap|_average)?_(celsius|volts|rpm|amps|watt)'
    for tree in "$trees"/*/; do
      tree=${tree%/}
      port=$(free_port)
      prometheus-node-exporter --path.sysfs="$tree" --collector.disable-defaults --collector.hwmon \
        --web.listen-address="127.0.0.1:$port" >"$work/node.log" 2>&1 &
      exporter=$!
      pids+=("$exporter")
      fetch "http://127.0.0.1:$port/metrics" "$work/node"
      kill "$exporter"
      # A sensor whose fault flag is set has no value in qrvld; the node exporter shows its input.
      sed -nE 's/^node_hwmon_(temp|fan)_fault(\{[^}]*\}) 1$/node_hwmon_\1_VALUE\2 /p' "$work/node" |
        sed 's/temp_VALUE/temp_celsius/; s/fan_VALUE/fan_rpm/' >"$work/faulted"
      grep -E "^node_hwmon_($families)[{ ]" "$work/node" | grep -v -F -f "$work/faulted" |
        sed -E 's/^node_/qrvl_/; s/_average_watt/_watts/; s/_watt([{ ])/_watts\1/' >"$work/expected"
      port=$(free_port)
      with_qrvld "$tree" "$port" curl -sf "http://127.0.0.1:$port/metrics" -o "$work/scrape"
      grep '^qrvl_hwmon_' "$work/scrape" >"$work/actual"
      if ! diff <(normalized "$work/expected") <(normalized "$work/actual"); then
        echo "$(basename "$tree"): qrvld (>) differs from the node exporter (<)" >&2
        exit 1
      fi
      echo "$(basename "$tree"): $(wc -l <"$work/actual") series as the node exporter has them"
    done
    ;;
  promtool)
    port=$(free_port)
    with_qrvld "$trees/intel" "$port" curl -sf "http://127.0.0.1:$port/metrics" -o "$work/scrape"
    grep -q '^qrvl_channel_temp_celsius{channel="cpu"} ' "$work/scrape"
    promtool check metrics <"$work/scrape" >"$work/lint" 2>&1 || { cat "$work/lint" >&2; exit 1; }
    [ ! -s "$work/lint" ] || { cat "$work/lint" >&2; exit 1; }
    echo "promtool check metrics: $(grep -vc '^#' "$work/scrape") samples, no complaint"
    ;;
  prometheus)
    port=$(free_port)
    with_qrvld "$trees/intel" "$port" bash "$0" "$qrvld" "$trees" prometheus-queries "$port"
    ;;
  prometheus-tls)
    example_web_config 'a password: with spaces'
    port=$(free_port)
    # Without the client certificate or the password, nothing; with them, the metrics.
    tls="--cacert $work/ca.crt --cert $work/tls/client.crt --key $work/tls/client.key"
    with_qrvld "$trees/intel" "$port" bash -c "
      ! curl -sf --cacert $work/ca.crt -u 'prometheus:a password: with spaces' https://127.0.0.1:$port/metrics &&
      [ \"\$(curl -s -o /dev/null -w '%{http_code}' $tls https://127.0.0.1:$port/metrics)\" = 401 ] &&
      curl -sf $tls -u 'prometheus:a password: with spaces' https://127.0.0.1:$port/metrics | grep -q '^qrvl_source_up 1$' &&
      QRVL_TLS='$work/tls' bash '$0' '$qrvld' '$trees' prometheus-queries $port tls"
    ;;
  example-web-config)
    example_web_config change-me
    promtool check web-config "$web"
    "$qrvld" --web.config.file "$web" --sysfs-root "$trees/intel/class/hwmon" --list >/dev/null
    echo "qrvld reads $(basename "$web") too"
    ;;
  prometheus-queries)
    # Run by the prometheus checks while qrvld serves on port $4; with $5 "tls", scraped by
    # deploy/'s https job with the CA and client certificate in $QRVL_TLS.
    listen=$(free_port)
    if [ "${5:-}" = tls ]; then
      cp "$QRVL_TLS/ca.crt" "$work/qrvld-ca.crt"
      cp "$QRVL_TLS/client.crt" "$work/prometheus.crt"
      cp "$QRVL_TLS/client.key" "$work/prometheus.key"
      printf '%s' 'a password: with spaces' >"$work/qrvld.password"
      sed "s|HOST:9183|127.0.0.1:$4|; s|scrape_interval: 15s|scrape_interval: 1s|" \
        "$deploy/prometheus/scrape-https.yml" >"$work/prometheus.yml"
    else
      printf 'global:\n  scrape_interval: 1s\nscrape_configs:\n  - job_name: qrvld\n    static_configs:\n      - targets: ["127.0.0.1:%s"]\n' \
        "$4" >"$work/prometheus.yml"
    fi
    prometheus --config.file="$work/prometheus.yml" --storage.tsdb.path="$work/data" \
      --web.listen-address="127.0.0.1:$listen" >"$work/prometheus.log" 2>&1 &
    pids+=($!)
    # Whether the query $1 gives the one value $2 (the one it gives in $got), as Prometheus
    # has it from a scrape.
    got=
    gives() {
      got=$(curl -sfG "http://127.0.0.1:$listen/api/v1/query" --data-urlencode "query=$1" |
        sed -nE 's/.*"value":\[[0-9.]+,"([^"]*)"\].*/\1/p') || true
      [ "$got" = "$2" ]
    }
    # Waits up to 30 s for the query $1 to give $2.
    expect() {
      if wait_until 30 gives "$1" "$2"; then
        echo "$1 = $got"
        return 0
      fi
      echo "$1: expected $2, got '${got}'" >&2
      tail -n 20 "$work/prometheus.log" >&2
      return 1
    }
    expect 'up{job="qrvld"}' 1
    expect 'qrvl_channel_temp_celsius{channel="cpu"}' 45
    expect 'qrvl_hwmon_in_volts{chip="platform_nct6775_656",sensor="in0"}' 1.02
    expect 'qrvl_source_up' 1
    ;;
  *)
    echo "usage: scrape_checks.sh QRVLD TREES node-exporter|promtool|prometheus|prometheus-tls|example-web-config" >&2
    exit 2
    ;;
esac
