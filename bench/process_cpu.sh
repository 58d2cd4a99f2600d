# Sourced by the benchmarks that read a process's processor time.

# Processor time of a process, all its threads, in nanoseconds.
cpu_ns() {
  local total=0 run
  for stat in /proc/"$1"/task/*/schedstat; do
    read -r run _ <"$stat" || continue
    total=$((total + run))
  done
  echo "$total"
}
