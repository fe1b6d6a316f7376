# Sourced: start_own_xvfb starts an Xvfb display that no other run holds and exports DISPLAY;
# the caller stops "$xvfb" and removes "$dir" (both set before) when it ends.
start_own_xvfb() {
  # A display nobody holds: no lock file and no socket, the abstract one included (a server
  # of another file-system namespace may hold that one alone).
  display=""
  for _ in $(seq 50); do
    n=$(( 100 + RANDOM % 800 ))
    [ -e "/tmp/.X$n-lock" ] && continue
    grep -q "/tmp/.X11-unix/X$n\$" /proc/net/unix && continue
    # -noreset: the check below is the first client, and a reset when it leaves would refuse the next.
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp -noreset >"$dir/xvfb.log" 2>&1 &
    xvfb=$!
    for _ in $(seq 200); do
      kill -0 "$xvfb" 2>/dev/null || break
      # Ours once its lock names it (another run may have taken the same number).
      if [ "$(tr -d ' \n' 2>/dev/null <"/tmp/.X$n-lock")" = "$xvfb" ] && xdpyinfo -display ":$n" >/dev/null 2>&1; then
        display=":$n"
        break
      fi
      sleep 0.05
    done
    [ -n "$display" ] && break
    kill "$xvfb" 2>/dev/null || true
    xvfb=""
  done
  if [ -z "$display" ]; then echo "no Xvfb display" >&2; return 1; fi
  export DISPLAY=$display
}
