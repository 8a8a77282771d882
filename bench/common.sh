# What the benchmark scripts share, for sh to source: mean_us N COMMAND...
# is the mean wall time of N runs of a command in microseconds, after one
# run to warm up; pair_us N "COMMAND A" "COMMAND B" the medians of N runs
# of each taken in turn (A B A B ...), for the comparisons whose difference
# is small, which what else loads the machine then weighs on alike;
# bench_settle waits for a fresh Wine session's own
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

# The median of the numbers given.
median_of() {
    printf '%s\n' "$@" | sort -n |
        awk '{ v[NR] = $1 } END { print NR % 2 ? v[(NR + 1) / 2] : int((v[NR / 2] + v[NR / 2 + 1]) / 2) }'
}

pair_us() {
    n=$1
    eval "$2" >/dev/null 2>&1
    eval "$3" >/dev/null 2>&1
    times_a=""
    times_b=""
    i=0
    while [ $i -lt "$n" ]; do
        start=$(date +%s%N)
        eval "$2" >/dev/null 2>&1
        middle=$(date +%s%N)
        eval "$3" >/dev/null 2>&1
        end=$(date +%s%N)
        times_a="$times_a $(((middle - start) / 1000))"
        times_b="$times_b $(((end - middle) / 1000))"
        i=$((i + 1))
    done
    echo "$(median_of $times_a) $(median_of $times_b)"
}
