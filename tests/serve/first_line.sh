#!/bin/sh
# hmisim --serve prints the address it serves as its first line, at once; then it is
# ended with SIGTERM and exits cleanly.
hmisim="$1"
dir=$(mktemp -d) || exit 1
trap 'rm -r "$dir"' EXIT
"$hmisim" --serve 0 --params none > "$dir/out" 2>&1 &
pid=$!
for _ in $(seq 100); do
  [ -s "$dir/out" ] && break
  sleep 0.1
done
kill "$pid"
wait "$pid"
status=$?
head -n 1 "$dir/out"
exit $status
