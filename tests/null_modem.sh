# Sourced by the scripts that put Wine's COM ports on a real line.
#
# null_modem WORK: socat joins two pseudo-terminals back to back (a
# null-modem cable) with links WORK/near and WORK/far. Once both exist, their
# devices are in cable_near and cable_far and socat's process in socat_pid.
# socat's output goes to WORK/socat.log, so that it never holds the test
# runner's pipes open.
null_modem() {
  command -v socat >/dev/null || { echo "socat is not installed"; exit 1; }
  socat pty,raw,echo=0,link="$1/near" pty,raw,echo=0,link="$1/far" \
    </dev/null >"$1/socat.log" 2>&1 &
  socat_pid=$!
  tries=0
  while [ ! -e "$1/near" ] || [ ! -e "$1/far" ]; do
    tries=$((tries + 1))
    if [ "$tries" -gt 100 ]; then
      echo "socat made no pseudo-terminals:"
      cat "$1/socat.log"
      exit 1
    fi
    sleep 0.1
  done
  cable_near=$(readlink -f "$1/near")
  cable_far=$(readlink -f "$1/far")
}
