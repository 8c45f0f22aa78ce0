# SPDX-License-Identifier: MIT
# Reads the CSV output of a Google Benchmark run: the medians over repetitions of real and CPU
# time in nanoseconds (real[], cpu[]), of every user counter (counter[name, counter]), and the
# runs that failed (failed[]). Used by the run-* scripts, which add the END rule.
function ns(value, unit) {
    return value * (unit == "ms" ? 1e6 : unit == "us" ? 1e3 : unit == "s" ? 1e9 : 1)
}
# The name of a run without its aggregate suffix and options such as real_time.
function base(name) {
    gsub(/"/, "", name)
    sub(/_(mean|median|stddev|cv)$/, "", name)
    gsub(/\/(min_time:[0-9.]+|iterations:[0-9]+|real_time|manual_time|process_time)/, "", name)
    return name
}
function have(name) { return (name in cpu) && !(name in failed) }
function verdict(ok) { if (!ok) missed++; return ok ? "meets the goal" : "MISSES the goal" }
function unmeasured(what, name) {
    missed++
    printf "%-40s not measured%s\n", what, (name in failed) ? ": " failed[name] : ""
}
$1 == "name" { for (i = 1; i <= NF; i++) { h = $i; gsub(/"/, "", h); column[h] = i }; next }
!("name" in column) || $1 !~ /^"BM_/ { next }
# A median overrides the runs; a single run (no repetitions) stands for itself.
function record(n, i, h) {
    real[n] = ns($column["real_time"], $column["time_unit"])
    cpu[n] = ns($column["cpu_time"], $column["time_unit"])
    for (h in column) if (column[h] > column["error_message"]) counter[n, h] = $column[h] + 0
}
$1 ~ /_median"$/ { n = base($1); median[n] = 1; record(n); next }
$1 ~ /_(mean|stddev|cv)"$/ { next }
$column["error_occurred"] == "true" || $column["error_occurred"] == "1" {
    failed[base($1)] = $column["error_message"]
    next
}
{ n = base($1); if (!(n in median)) record(n) }
