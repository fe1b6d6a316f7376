# Sourced by the screenshot scripts: start_xvfb [WxHxD] starts an Xvfb display of its own,
# exports DISPLAY and stops the server when the script exits.
start_xvfb() {
  local screen=${1:-1024x768x24} n=70
  while [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 "$screen" -nolisten tcp >/dev/null 2>&1 &
  _xvfb_pid=$!
  trap 'kill $_xvfb_pid 2>/dev/null || true' EXIT
  export DISPLAY=":$n"
  sleep 1
}
