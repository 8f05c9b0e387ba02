# The one place a test script polls: wait_until SECONDS COMMAND [ARG...] runs the command
# until it succeeds (status 0) or SECONDS have gone by (status 1). The pauses grow from
# 20 ms to 200 ms: quick for what comes at once, cheap for what takes minutes.
wait_until() {
  qrvl_wait_end=$(($(date +%s%3N) + $1 * 1000))
  qrvl_wait_pause=0.02
  shift
  until "$@"; do
    [ "$(date +%s%3N)" -lt "$qrvl_wait_end" ] || return 1
    sleep "$qrvl_wait_pause"
    case $qrvl_wait_pause in
      0.02) qrvl_wait_pause=0.05 ;;
      0.05) qrvl_wait_pause=0.1 ;;
      *) qrvl_wait_pause=0.2 ;;
    esac
  done
}
