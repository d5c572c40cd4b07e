#!/usr/bin/env bash
# The benchmark behind `make bench`. Builds the release preset, generates the corpus once (kept
# between runs in build/bench-corpus), builds a real-code corpus from the vendored Lua sources,
# then measures srctdy-cli, the line-copy floor, cat and the peers (GNU indent, astyle,
# uncrustify, clang-format; benchmark opponents only) in one run and prints one table. It
# measures and reports; it asserts nothing.
#
# Environment: BENCH_RUNS (runs per row, the median is shown; default 3), BENCH_SIZE (default
# 50M), BENCH_FILES (default 2000), BENCH_PEER_SIZE (part of the corpus for the peers; 10M),
# BENCH_REAL_SIZE (the real-code corpus: whole copies of the Lua sources, about this many
# bytes; default 50M), BENCH_REAL_PEER_SIZE (part of it for the peers; 5M, as clang-format
# takes about 2 s a MB there), BENCH_SEED, BENCH_MICRO=0 (skip the micro-benchmarks),
# BENCH_CMAKE_ARGS (extra configure
# arguments; default: no tests, no GUI, which the benchmark does not need), BENCH_ON_DISK=1
# (measure in the kept corpus on disk instead of a copy in /dev/shm; see "Working copy").
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build/release
corpus=${BENCH_CORPUS:-$root/build/bench-corpus}
scratch=${BENCH_SCRATCH:-$root/build/bench-scratch}
runs=${BENCH_RUNS:-3}
size=${BENCH_SIZE:-50M}
files=${BENCH_FILES:-2000}
peer_size=${BENCH_PEER_SIZE:-10M}
real_size=${BENCH_REAL_SIZE:-50M}
real_peer_size=${BENCH_REAL_PEER_SIZE:-5M}
lua=$root/tests/data/lua
seed=${BENCH_SEED:-8}
read -r -a cmake_args <<<"${BENCH_CMAKE_ARGS:--DSRCTDY_BUILD_TESTS=OFF -DSRCTDY_BUILD_GUI=OFF}"

log() { printf '== %s\n' "$*" >&2; }

# --- Tools -----------------------------------------------------------------------------------

install_missing() {
    local missing=() p
    for p in "$@"; do
        dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed' ||
            missing+=("$p")
    done
    ((${#missing[@]})) || return 0
    local sudo=()
    [[ $(id -u) == 0 ]] || sudo=(sudo)
    log "installing ${missing[*]}"
    if ! { "${sudo[@]}" apt-get update -qq &&
        DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}" \
            >/dev/null; }; then
        log "warning: could not install ${missing[*]}; rows of missing peers are left out"
    fi
}

install_missing cmake ninja-build g++ libbenchmark-dev time indent astyle uncrustify clang-format

log "building the release preset"
cd "$root"
cmake --preset release "${cmake_args[@]}" >/dev/null
cmake --build --preset release -j2 --target srctdy-cli line_copy corpus_gen micro_bench

cli=$build/cli/srctdy-cli
floor=$build/bench/line_copy

# --- Corpus ----------------------------------------------------------------------------------

to_bytes() {
    local v=${1%[KkMmGg]}
    case $1 in
    *[Kk]) echo $((v * 1000)) ;;
    *[Mm]) echo $((v * 1000000)) ;;
    *[Gg]) echo $((v * 1000000000)) ;;
    *) echo "$v" ;;
    esac
}

generator_hash=$(cat "$root/bench/corpus_text.cpp" "$root/bench/corpus_gen.cpp" | sha256sum |
    cut -c1-16)

# generate NAME SIZE FILES [--crlf]: once; the stamp beside the folder says what it holds.
generate() {
    local name=$1 stamp=$corpus/$1.stamp
    shift
    local want="$* seed=$seed generator=$generator_hash"
    if [[ -f $stamp && $(<"$stamp") == "$want" ]]; then
        return
    fi
    log "generating $name ($*)"
    rm -rf "${corpus:?}/$name" "$stamp"
    "$build/bench/corpus_gen" "$corpus/$name" "$1" "$2" "$seed" "${@:3}" >&2
    echo "$want" >"$stamp"
}

# The sorted plain files of a folder, one per line.
list_files() { find "$1" -maxdepth 1 -type f | LC_ALL=C sort; }

mkdir -p "$corpus" "$scratch"
generate single "$size" 1
generate single-crlf "$size" 1 --crlf
generate many "$size" "$files"
generate many-crlf "$size" "$files" --crlf

# One file whose one line is 20 MB: the peak memory of a huge line.
if [[ ! -f $corpus/long-line/long.c ]]; then
    mkdir -p "$corpus/long-line"
    { head -c 20000000 /dev/zero | tr '\0' 'x'; echo; } >"$corpus/long-line/long.c"
fi

# copy_part NAME FROM SIZE: the first files of the corpus FROM, up to SIZE bytes, for the peers.
copy_part() {
    local name=$1 from=$2 want
    want="from $from: $(<"$corpus/$from.stamp") up to $3"
    [[ ! -f $corpus/$name.stamp || $(<"$corpus/$name.stamp") != "$want" ]] || return 0
    log "copying the peers' part $name ($3)"
    rm -rf "${corpus:?}/$name" "$corpus/$name.stamp"
    mkdir -p "$corpus/$name"
    local limit total=0 f
    limit=$(to_bytes "$3")
    while read -r f && ((total < limit)); do
        cp -- "$f" "$corpus/$name/"
        total=$((total + $(stat -c %s "$f")))
    done < <(list_files "$corpus/$from")
    echo "$want" >"$corpus/$name.stamp"
}
copy_part part many "$peer_size"

# Real code: whole copies of the vendored Lua sources (real-code tests' data, 63 files, 1 MB),
# as many as come nearest to real_size. real-single is them concatenated into one file;
# real-many holds each copy as numbered files (01-lapi.c ...) in one folder, since the floor
# and the peers take no sub-folders. Real code has longer lines and more comments than the
# generator's, and macros no generator thought of.
mapfile -t lua_sources < <(find "$lua" -maxdepth 1 -type f -name '*.[ch]' | LC_ALL=C sort)
lua_bytes=$(cat "${lua_sources[@]}" | wc -c)
real_copies=$((($(to_bytes "$real_size") + lua_bytes / 2) / lua_bytes))
((real_copies > 0)) || real_copies=1
real_want="copies=$real_copies sources=$(cat "${lua_sources[@]}" | sha256sum | cut -c1-16)"
if [[ ! -f $corpus/real-many.stamp || $(<"$corpus/real-many.stamp") != "$real_want" ]]; then
    log "copying the Lua sources $real_copies times"
    rm -rf "${corpus:?}/real-single" "$corpus/real-many" "$corpus"/real-*.stamp
    mkdir -p "$corpus/real-single" "$corpus/real-many"
    digits=${#real_copies}
    for ((c = 1; c <= real_copies; c++)); do
        cat "${lua_sources[@]}" >>"$corpus/real-single/single.c"
        number=$(printf '%0*d' "$digits" "$c")
        for f in "${lua_sources[@]}"; do
            cp -- "$f" "$corpus/real-many/$number-${f##*/}"
        done
    done
    echo "$real_want" >"$corpus/real-single.stamp"
    echo "$real_want" >"$corpus/real-many.stamp"
fi
copy_part real-part real-many "$real_peer_size"

# --- Working copy ----------------------------------------------------------------------------
# The runs work on a copy in memory (/dev/shm) by default. On this machine's ext4 without a
# journal, creating files soon after files were deleted is slow and uneven (new inodes pass
# over those freed in the last minutes), and replacing a file by rename writes its data out
# at once (auto_da_alloc): on disk the table measures the file system more than the programs.
# BENCH_ON_DISK=1 measures on disk all the same, with two more rows for replaced outputs.

workloads=(single single-crlf many many-crlf part long-line real-single real-many real-part)
on_disk=${BENCH_ON_DISK:-0}
if [[ $on_disk == 0 && -d /dev/shm && -w /dev/shm ]]; then
    work=$(mktemp -d /dev/shm/srctdy-bench.XXXXXX)
    trap 'rm -rf "$work"' EXIT
    log "copying the corpus to $work"
    for wl in "${workloads[@]}"; do
        mkdir "$work/$wl"
        list_files "$corpus/$wl" | xargs -d '\n' cp -t "$work/$wl" --
    done
    where="a copy in /dev/shm (tmpfs)"
else
    on_disk=1
    work=$corpus
    where="$corpus on disk"
fi

template=$work/FileTitle.txt
printf '/*\n * .c\n */\n.c\n' >"$template"
printf 'indent_columns = 4\n' >"$scratch/uncrustify.cfg"

# --- Workloads -------------------------------------------------------------------------------

declare -A wl_bytes wl_lines wl_text
describe() { # NAME TEXT
    local list
    list=$(list_files "$work/$1")
    wl_bytes[$1]=$(xargs -d '\n' cat <<<"$list" | wc -c)
    wl_lines[$1]=$(xargs -d '\n' cat <<<"$list" | wc -l)
    local count
    count=$(wc -l <<<"$list")
    wl_text[$1]="$2, $count file$( ((count == 1)) || echo s), $3"
}
describe single "$size" LF
describe single-crlf "$size" "CR LF"
describe many "$size" LF
describe many-crlf "$size" "CR LF"
describe part "$peer_size" "LF (part)"
describe long-line 20M "one 20 MB line"
describe real-single "$real_size" Lua
describe real-many "$real_size" Lua
describe real-part "$real_peer_size" "Lua (part)"

# --- Rows ------------------------------------------------------------------------------------

row_prog=() row_cond=() row_wl=() row_cmd=() row_prep=()
add_row() { # PROGRAM CONDITIONS WORKLOAD PREP COMMAND...
    row_prog+=("$1")
    row_cond+=("$2")
    row_wl+=("$3")
    row_prep+=("$4")
    shift 4
    row_cmd+=("$(printf '%q ' "$@")")
}
input_of() { # WORKLOAD: the path handed to srctdy-cli and the floor
    case $1 in
    long-line) echo "$work/$1/long.c" ;;
    *single*) echo "$work/$1/single.c" ;;
    *) echo "$work/$1" ;;
    esac
}
files_of() { list_files "$work/$1"; }

one_thread=()
has_jobs=0
if "$cli" --help | grep -q -- '--jobs'; then
    has_jobs=1
    one_thread=(-j1)
fi
everything=(--delete-if=TEST_MODE --replace=pText --with=pSource --definitions
    "--template=$template" --comments=split --function-names)

# Each run writes fresh outputs: the earlier ones are deleted before it (untimed) in memory, and
# set aside and deleted after the last round on disk (where deleting them earlier would slow
# down the file creation of the rounds that follow). In memory, outputs kept until the end of
# a round made each later row write into memory the machine had not used lately, at two to
# three times the cost (on this shared virtual machine: 78 ms against 220 ms for the floor on
# one 50 MB file with 2 GB of earlier outputs kept), so the floor rows, which come late in a
# round, read far slower than the same command alone.
trash=$work/trash
trash_count=0
set_aside() {
    [[ -e $1 ]] || return 0
    if ((!on_disk)); then
        rm -rf "$1"
        return
    fi
    mkdir -p "$trash"
    mv "$1" "$trash/$((++trash_count))"
}
fresh_outputs() { set_aside "$work/$1/NewFolder"; }
existing_outputs() {
    [[ -d $work/$1/NewFolder ]] || "$floor" '--type=*.*' "$(input_of "$1")"
}
# The program's own outputs of an earlier run (a run over an unchanged tree leaves them).
own_outputs() {
    fresh_outputs "$1"
    "$cli" '--type=*.*' "$(input_of "$1")" >/dev/null 2>&1 || true
}

for wl in single single-crlf many many-crlf part; do
    add_row srctdy-cli "start-up defaults ${one_thread[*]}" "$wl" "fresh_outputs $wl" \
        "$cli" "${one_thread[@]}" '--type=*.*' "$(input_of "$wl")"
done
for wl in single many; do
    add_row srctdy-cli "every condition on ${one_thread[*]}" "$wl" "fresh_outputs $wl" \
        "$cli" "${one_thread[@]}" '--type=*.*' "${everything[@]}" "$(input_of "$wl")"
    add_row srctdy-cli "comment mode 1 ${one_thread[*]}" "$wl" "fresh_outputs $wl" \
        "$cli" "${one_thread[@]}" '--type=*.*' --comments=line "$(input_of "$wl")"
done
if ((has_jobs)); then
    add_row srctdy-cli "start-up defaults -j2" many "fresh_outputs many" \
        "$cli" -j2 '--type=*.*' "$work/many"
fi
add_row srctdy-cli "start-up defaults ${one_thread[*]}" long-line "fresh_outputs long-line" \
    "$cli" "${one_thread[@]}" "$(input_of long-line)"
# The guard's cost: the same defaults without the token check.
for wl in single many; do
    add_row srctdy-cli "start-up defaults --fast ${one_thread[*]}" "$wl" "fresh_outputs $wl" \
        "$cli" "${one_thread[@]}" --fast '--type=*.*' "$(input_of "$wl")"
done
# Real code: the defaults with and without the guard, on one thread and on two (a single
# file is one job, so -j2 shows only the cost of the second thread there).
thread_counts=("${one_thread[*]}")
((has_jobs)) && thread_counts+=(-j2)
for wl in real-single real-many; do
    for jobs in "${thread_counts[@]}"; do
        read -r -a jobs_args <<<"$jobs"
        add_row srctdy-cli "start-up defaults $jobs" "$wl" "fresh_outputs $wl" \
            "$cli" "${jobs_args[@]}" '--type=*.*' "$(input_of "$wl")"
        add_row srctdy-cli "start-up defaults --fast $jobs" "$wl" "fresh_outputs $wl" \
            "$cli" "${jobs_args[@]}" --fast '--type=*.*' "$(input_of "$wl")"
    done
done
# A second run over an unchanged tree: every output already holds its bytes and stays.
for jobs in "${thread_counts[@]}"; do
    read -r -a jobs_args <<<"$jobs"
    add_row srctdy-cli "defaults $jobs, outputs unchanged" real-many "own_outputs real-many" \
        "$cli" "${jobs_args[@]}" '--type=*.*' "$(input_of real-many)"
done
add_row srctdy-cli "start-up defaults ${one_thread[*]}" real-part "fresh_outputs real-part" \
    "$cli" "${one_thread[@]}" '--type=*.*' "$work/real-part"
if ((on_disk)); then
    add_row srctdy-cli "defaults ${one_thread[*]}, replacing" many "existing_outputs many" \
        "$cli" "${one_thread[@]}" '--type=*.*' "$work/many"
    # The cost of flushing each file to disk before its rename, and its folder after.
    if "$cli" --help | grep -q -- '--fsync'; then
        add_row srctdy-cli "defaults ${one_thread[*]} --fsync" many "fresh_outputs many" \
            "$cli" "${one_thread[@]}" --fsync '--type=*.*' "$work/many"
        add_row srctdy-cli "defaults ${one_thread[*]} --fsync, replacing" many \
            "existing_outputs many" "$cli" "${one_thread[@]}" --fsync '--type=*.*' "$work/many"
    fi
fi
for wl in single single-crlf many many-crlf part real-single real-many real-part; do
    add_row line_copy "floor: lines + CR LF" "$wl" "fresh_outputs $wl" \
        "$floor" '--type=*.*' "$(input_of "$wl")"
done
# The least a tidy of every line does (trim, indent by braces), classifying each 64 bytes once:
# the distance from it to the floor is what no per-line tidy can save.
for wl in single many real-single real-many; do
    add_row line_copy "tidy floor: trim + indent" "$wl" "fresh_outputs $wl" \
        "$floor" --tidy '--type=*.*' "$(input_of "$wl")"
done
# The same with the least lexical look a tidy that keeps the tokens needs (where comments and
# literals begin and end): what is left of the floor's speed before any other work.
for wl in real-single real-many; do
    add_row line_copy "tidy + lexical walk" "$wl" "fresh_outputs $wl" \
        "$floor" --tidy-track '--type=*.*' "$(input_of "$wl")"
done
if ((on_disk)); then
    add_row line_copy "floor, replacing" many "existing_outputs many" \
        "$floor" '--type=*.*' "$work/many"
fi
for wl in single many part real-single real-many real-part; do
    mapfile -t list < <(files_of "$wl")
    add_row cat "" "$wl" "" cat "${list[@]}"
done

# The peers work in place on a fresh copy of a part in the scratch folder.
peer_copy=$work/peer
fresh_peer_copy() { # PART
    set_aside "$peer_copy"
    mkdir -p "$peer_copy"
    files_of "$1" | xargs -d '\n' cp -t "$peer_copy" --
}
peers=()
for wl in part real-part; do
    mapfile -t part_names < <(files_of "$wl" | xargs -d '\n' -n1 basename)
    peer_files=("${part_names[@]/#/$peer_copy/}")
    if command -v indent >/dev/null; then
        add_row "GNU indent" "-i4" "$wl" "fresh_peer_copy $wl" env VERSION_CONTROL=none \
            indent -i4 "${peer_files[@]}"
    fi
    if command -v astyle >/dev/null; then
        add_row astyle "--indent=spaces=4" "$wl" "fresh_peer_copy $wl" astyle \
            --indent=spaces=4 --suffix=none --quiet "${peer_files[@]}"
    fi
    # uncrustify stops at the first file it cannot parse (lapi.h: an if inside a macro's
    # braces) and leaves the rest alone, so it has no real-code row.
    if command -v uncrustify >/dev/null && [[ $wl != real-* ]]; then
        add_row uncrustify "indent_columns=4" "$wl" "fresh_peer_copy $wl" uncrustify \
            -c "$scratch/uncrustify.cfg" -q --replace --no-backup "${peer_files[@]}"
    fi
    if command -v clang-format >/dev/null; then
        add_row clang-format "IndentWidth 4" "$wl" "fresh_peer_copy $wl" clang-format -i \
            '--style={IndentWidth: 4}' "${peer_files[@]}"
    fi
done
for p in indent astyle uncrustify clang-format; do
    if command -v "$p" >/dev/null; then
        [[ $p == indent ]] && p="GNU indent"
        peers+=("$p")
    fi
done

# --- Measuring -------------------------------------------------------------------------------

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
for wl in "${workloads[@]}"; do # warm the page cache
    files_of "$wl" | xargs -d '\n' cat >/dev/null
done

results=$scratch/results
: >"$results"
: >"$scratch/errors"
# Rounds go over all rows in turn, so that load from other work spreads over every row.
for ((round = 1; round <= runs; round++)); do
    log "round $round of $runs (${#row_cmd[@]} rows)"
    for i in "${!row_cmd[@]}"; do
        eval "${row_prep[$i]}"
        : >"$work/stdout"
        sync # no writeback of the previous row's output during this one
        eval "cmd=(${row_cmd[$i]})"
        status=0
        t0=$(date +%s%N)
        /usr/bin/time -f %M -o "$scratch/mem" "${cmd[@]}" >"$work/stdout" \
            2>"$scratch/stderr" || status=$?
        t1=$(date +%s%N)
        echo "$i $((t1 - t0)) $(tail -n1 "$scratch/mem") $status" >>"$results"
        if [[ $status != 0 || -s $scratch/stderr ]]; then
            {
                echo "row $i (${row_prog[$i]} ${row_cond[$i]}): exit $status"
                head -n3 "$scratch/stderr"
            } >>"$scratch/errors"
        fi
    done
    if ((!on_disk)); then
        rm -rf "$trash"
    fi
done
rm -rf "$trash" "$peer_copy" "$work/stdout"
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

# --- Table -----------------------------------------------------------------------------------

table_input=$scratch/rows
: >"$table_input"
for i in "${!row_cmd[@]}"; do
    wl=${row_wl[$i]}
    printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$i" "${row_prog[$i]}" "${row_cond[$i]}" "$wl" \
        "${wl_text[$wl]}" "${wl_bytes[$wl]}" "${wl_lines[$wl]}" >>"$table_input"
done

echo
echo "srctdy benchmark: $(nproc) cores ($(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 |
    sed 's/^ *//')), load average $load_before before, $load_after after;"
echo "files in $where; median of $runs runs per row, rows measured in turn;"
echo "MB = 10^6 bytes; +-% is half the range of the run times against the median; peak memory"
echo "is the largest maximum resident set of the runs."
echo "Peers: ${peers[*]:-none installed} (x best peer: against the fastest on the same corpus,"
echo "generated or real; uncrustify has no real-code row as it stops at lapi.h)."
echo
awk -F'\t' -v peers="$(IFS=,; echo "${peers[*]:-}")" '
    FNR == NR { split($0, r, " "); n[r[1]]++; ns[r[1], n[r[1]]] = r[2];
                if (r[3] > kb[r[1]]) kb[r[1]] = r[3]; if (r[4] != 0) bad[r[1]] = 1; next }
    {
        i = $1; prog[i] = $2; cond[i] = $3; wl[i] = $4; text[i] = $5; bytes[i] = $6;
        lines[i] = $7; rows[++count] = i;
        m = n[i]; for (a = 1; a <= m; a++) t[a] = ns[i, a];
        for (a = 1; a <= m; a++) for (b = a + 1; b <= m; b++)
            if (t[b] < t[a]) { x = t[a]; t[a] = t[b]; t[b] = x }
        med = m % 2 ? t[(m + 1) / 2] : (t[m / 2] + t[m / 2 + 1]) / 2;
        mbs[i] = bytes[i] * 1000 / med; lps[i] = lines[i] * 1e9 / med;
        spread[i] = (t[m] - t[1]) / 2 / med * 100;
        # Rows that replace their outputs compare with the floor that does the same.
        key[i] = wl[i] (cond[i] ~ /replacing/ ? "/replacing" : "");
        if (prog[i] == "line_copy" && cond[i] ~ /^floor/) floor[key[i]] = mbs[i];
        if (cond[i] ~ /^tidy floor/) tidy[wl[i]] = mbs[i];
        if (cond[i] ~ /^tidy \+ lexical walk/) tracked[wl[i]] = mbs[i];
    }
    END {
        np = split(peers, plist, ",");
        for (k = 1; k <= count; k++) { i = rows[k];
            fam = wl[i] ~ /^real-/ ? "real" : "generated";
            for (p = 1; p <= np; p++)
                if (prog[i] == plist[p] && mbs[i] > best[fam]) best[fam] = mbs[i] }
        fmt = "%-12s %-30s %-27s %7s %5s %9s %8s %7s %9s\n";
        printf fmt, "program", "conditions", "input", "MB/s", "+-%", "lines/s", "peak MiB",
               "x floor", "x best peer";
        for (k = 1; k <= count; k++) { i = rows[k];
            fam = wl[i] ~ /^real-/ ? "real" : "generated";
            f = floor[key[i]] ? sprintf("%.2f", mbs[i] / floor[key[i]]) : "-";
            b = best[fam] ? sprintf("%.1f", mbs[i] / best[fam]) : "-";
            printf fmt, prog[i], cond[i] (bad[i] ? " (FAILED)" : ""), text[i],
                   sprintf("%.1f", mbs[i]), sprintf("%.0f", spread[i]),
                   sprintf("%.2fM", lps[i] / 1e6),
                   sprintf("%.1f", kb[i] / 1024), f, b;
        }
        # The issue targets, as information (nothing here fails the run). d: the defaults,
        # q: with --fast; on one thread, or on two ("/j2").
        print "";
        for (k = 1; k <= count; k++) { i = rows[k];
            if (prog[i] != "srctdy-cli") continue;
            if (wl[i] == "long-line") { longkb = kb[i]; continue }
            if (cond[i] ~ /--fsync, replacing/) { syncrep = mbs[i]; continue }
            if (cond[i] ~ /--fsync/) { sync = mbs[i]; continue }
            if (cond[i] ~ /replacing/) { rep = mbs[i]; continue }
            if (cond[i] !~ /^start-up defaults/) continue;
            j = cond[i] ~ /-j2/ ? "/j2" : "";
            if (cond[i] ~ /--fast/) q[wl[i] j] = mbs[i];
            else d[wl[i] j] = mbs[i];
            if (!j && cond[i] !~ /--fast/ && kb[i] > dkb) dkb = kb[i];
        }
        printf "defaults vs floor: single file %.2f, corpus %.2f (target >= 0.5)\n",
               d["single"] / floor["single"], d["many"] / floor["many"];
        if (best["generated"])
            printf "defaults on the corpus vs the fastest peer: %.1fx (target >= 10)\n",
                   d["many"] / best["generated"];
        printf "CR LF vs LF input: single file %.2f, corpus %.2f (target >= 1.0)\n",
               d["single-crlf"] / d["single"], d["many-crlf"] / d["many"];
        printf "peak memory with the defaults: %.1f MiB at most\n", dkb / 1024;
        if (longkb) printf "peak memory with one 20 MB line: %.1f MiB (target <= 2 x 19.1 + a few)\n",
               longkb / 1024;
        if (sync) printf "--fsync over the corpus: %.0f%% slower writing new outputs, %.0f%% slower replacing (default when <= 15%%)\n",
               (d["many"] / sync - 1) * 100, (rep / syncrep - 1) * 100;
        if (d["many/j2"])
            printf "-j2 vs -j1 over the corpus: %.2fx (target >= 1.6)\n",
                   d["many/j2"] / d["many"];
        printf "cost of the guard, defaults vs --fast: single file %.2f, corpus %.2f\n",
               d["single"] / q["single"], d["many"] / q["many"];
        print "real code (Lua):";
        printf "  --fast vs floor: single file %.2f, tree %.2f (target >= 0.8)\n",
               q["real-single"] / floor["real-single"], q["real-many"] / floor["real-many"];
        printf "  defaults vs floor: single file %.2f, tree %.2f\n",
               d["real-single"] / floor["real-single"], d["real-many"] / floor["real-many"];
        if (tidy["real-single"])
            printf "  tidy floor vs floor: single file %.2f, tree %.2f (what is left for the rest)\n",
                   tidy["real-single"] / floor["real-single"], tidy["real-many"] / floor["real-many"];
        if (tracked["real-single"])
            printf "  tidy + lexical walk vs floor: single file %.2f, tree %.2f\n",
                   tracked["real-single"] / floor["real-single"],
                   tracked["real-many"] / floor["real-many"];
        printf "  defaults vs --fast: single file %.2f, tree %.2f (target >= 0.9)\n",
               d["real-single"] / q["real-single"], d["real-many"] / q["real-many"];
        if (d["real-many/j2"])
            printf "  -j2 vs -j1 over the tree: defaults %.2fx, --fast %.2fx (target >= 1.6)\n",
                   d["real-many/j2"] / d["real-many"], q["real-many/j2"] / q["real-many"];
        if (best["real"])
            printf "  defaults vs the fastest peer (part): %.1fx\n",
                   d["real-part"] / best["real"];
    }' "$results" "$table_input"

if [[ -s $scratch/errors ]]; then
    echo
    echo "Errors and messages:"
    sort -u "$scratch/errors" | head -n 40
fi

if [[ ${BENCH_MICRO:-1} != 0 ]]; then
    echo
    echo "Micro-benchmarks (Google Benchmark):"
    "$build/bench/micro_bench" --benchmark_min_time=0.3
fi
