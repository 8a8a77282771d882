# What the benchmark scripts share, for sh to source: mean_us N COMMAND...
# is the mean wall time of N runs of a command in microseconds, after one
# run to warm up; bench_settle waits for a fresh Wine session's own
# background processes (services, devices, the desktop), which start for a
# few seconds after its first program, so that they do not weigh on the
# first figures.
mean_us() {
    n=$1
    shift
    "$@" >/dev/null 2>&1
    start=$(date +%s%N)
    i=0
    while [ $i -lt "$n" ]; do
        "$@" >/dev/null 2>&1
        i=$((i + 1))
    done
    end=$(date +%s%N)
    echo $(((end - start) / n / 1000))
}

bench_settle() {
    sleep 5
    mean_us 10 "$@" >/dev/null
}
