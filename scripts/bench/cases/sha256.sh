#     sha256    the SHA-256 code on 1 GiB in memory, natively: the engine on
#               the SHA instructions against openssl dgst -sha256 (which uses
#               them too), the portable engine against sha256sum, both on the
#               cached 1 GiB file (throughput); and /H:SHA256 /M on that file,
#               the x86_64 program under Wine 8, against the SHA instructions'
#               hashing alone (the bare loop of md5file on them, and their
#               in-memory time) and against sha256sum

bench_case sha256 sha256_data sha256_native sha256_file

sha256_data() { dataset big make_big; }

# Throughput of both SHA-256 engines in memory against openssl and
# sha256sum on the cached file; leaves the SHA instructions' seconds for
# 1 GiB in sha_seconds, for the /M case.
sha_seconds=
sha256_native() {
  local speed=$tools/sha256_speed fast=() portable=() seconds=() sum=() ssl=() i size
  local -A out=()
  local engines=(portable)
  g++ -O2 -I"$top" "$bench/sha256_speed.cpp" "$top/hash/sha256.cpp" "$top/hash/sha256_ni.cpp" \
    -o "$speed"
  "$speed" 1 sha >/dev/null 2>&1 && engines+=(sha)
  size=$(stat -c %s "$big")
  cache_big
  note "sha256: warm-up, then $runs rounds"
  for i in $(seq 0 "$runs"); do
    local t1 t2 line engine
    for engine in "${engines[@]}"; do out[$engine]=$("$speed" 1024 "$engine"); done
    t1=$(native_time "sha256sum '$big'")
    t2=$(native_time "openssl dgst -sha256 '$big'")
    [ "$i" -eq 0 ] && continue
    line=${out[portable]}
    portable+=("$(calc '%.1f' "1073741824 / ${line%% *} / 1e6")")
    if [ -n "${out[sha]:-}" ]; then
      line=${out[sha]}
      fast+=("$(calc '%.1f' "1073741824 / ${line%% *} / 1e6")")
      seconds+=("${line%% *}")
    fi
    sum+=("$(calc '%.1f' "$size / $t1 / 1e6")")
    ssl+=("$(calc '%.1f' "$size / $t2 / 1e6")")
  done
  local p f s o
  p=$(median "${portable[@]}")
  s=$(median "${sum[@]}")
  o=$(median "${ssl[@]}")
  if [ ${#fast[@]} -gt 0 ]; then
    f=$(median "${fast[@]}")
    sha_seconds=$(median "${seconds[@]}")
    row "sha256 SHA-NI" "$f MB/s" "openssl $o MB/s" "$(calc '%.2f' "$f / $o")" "" "" ""
  else
    notes+=("sha256: this processor has no SHA instructions; only the portable engine was measured")
  fi
  row "sha256 portable" "$p MB/s" "sha256sum $s MB/s" "$(calc '%.2f' "$p / $s")" "" "" ""
  local file_digest line=${out[portable]}
  file_digest=$(sha256sum <"$big" | cut -c1-64)
  if [ "$file_digest" = "${line##* }" ]; then
    notes+=("sha256: both engines and sha256sum of the file agree on $file_digest")
  else
    notes+=("sha256: sha256_speed gave ${line##* }, sha256sum of the file $file_digest")
  fi
}

# /H:SHA256 /M on the cached file against the SHA instructions' hashing
# alone: the bare loop on them under the same Wine (reading and hashing the
# file, nothing else), and the same GiB hashed in memory natively
# (case_sha256); and against sha256sum.
# The same two on a one-line file give each one's cost apart from the
# GiB (a windowed program's start and end under Wine against a console
# loop's), and a row per GiB without it.
sha256_file() {  # LABEL
  local label=$1 path tiny sum_times=() loop_times=() empty_program=() empty_loop=() i
  path=$(windows_path "$big")
  tiny=$(windows_path "$top/VERSION")
  cache_big
  note "$label: warm-up, then $runs rounds"
  program_reset
  for i in $(seq 0 "$runs"); do
    win_run "$exe" /H:SHA256 /M "$tiny"
    clip_bytes >/dev/null
    empty_program+=("$W_TIME")
    win_run "$tools/digest_loop-$arch.exe" -sha256 "$tiny" "$(windows_path "$work/loop.txt")"
    empty_loop+=("$W_TIME")
    program_run /H:SHA256 /M "$path" || break
    win_run "$tools/digest_loop-$arch.exe" -sha256 "$path" "$(windows_path "$work/loop.txt")"
    [ "$W_CODE" -eq 0 ] || note "$label: the loop ended with $W_CODE"
    loop_times+=("$W_TIME")
    sum_times+=("$(native_time "sha256sum '$big'")")
    if [ "$i" -eq 0 ]; then
      P_TIME=(); P_PROC=(); P_SERVER=(); sum_times=(); loop_times=(); empty_program=(); empty_loop=()
    fi
  done
  if [ -n "$P_FAIL" ]; then row_failed "$label" "$P_FAIL"; return; fi
  local p q l p0 l0
  p=$(median "${P_TIME[@]}")
  q=$(median "${sum_times[@]}")
  l=$(median "${loop_times[@]}")
  p0=$(median "${empty_program[@]}")
  l0=$(median "${empty_loop[@]}")
  row "$label" "$(calc '%.2f' "$p") s" "SHA-NI loop $(calc '%.2f' "$l") s" "$(calc '%.2f' "$p / $l")" \
    "$(peak_cell)" "$(thousands "$P_CLIP")" ""
  row "$label, per GiB" "$(calc '%.2f' "$p - $p0") s" "SHA-NI loop $(calc '%.2f' "$l - $l0") s" \
    "$(calc '%.2f' "($p - $p0) / ($l - $l0)")" "" "" ""
  if [ -n "$sha_seconds" ]; then
    row "$label" "$(calc '%.2f' "$p") s" "SHA-NI in memory $(calc '%.2f' "$sha_seconds") s" \
      "$(calc '%.2f' "$p / $sha_seconds")" "" "" ""
    row "$label, per GiB" "$(calc '%.2f' "$p - $p0") s" \
      "SHA-NI in memory $(calc '%.2f' "$sha_seconds") s" \
      "$(calc '%.2f' "($p - $p0) / $sha_seconds")" "" "" ""
  fi
  row "$label" "$(calc '%.2f' "$p") s" "sha256sum $(calc '%.2f' "$q") s" "$(calc '%.2f' "$p / $q")" \
    "" "" ""
}
