#     window    /M over the md5small tree named six times, whose window comes
#               up: files per second after the show (from the bar, looked
#               at from outside) against the same tree's pass named once,
#               which ends before any window (scripts/bench/window_rate.cpp)

bench_case window md5small_data - window

# Files per second of a digest pass while its window is up, against the
# same files' pass that ends before the window could show. Both over the
# md5small tree, whose files are all of one size, so the bar counts files.
window() {  # LABEL
  local label=$1 tree=$data/small/tree path namings=6 i before=() after=() line
  local args=() short_md5 short_plain
  path=$(windows_path "$tree")
  for i in $(seq "$namings"); do args+=("$path"); done
  cat "$tree"/*/* >/dev/null
  note "$label: warm-up, then $runs rounds"
  for i in $(seq 0 "$runs"); do
    win_run "$exe" /M "$path"
    short_md5=$W_TIME
    clip_bytes >/dev/null
    win_run "$exe" "$path"
    short_plain=$W_TIME
    clip_bytes >/dev/null
    session_command "$tools/window_rate-$arch.exe" "$(windows_path "$work/rate.txt")" \
      "$(windows_path "$exe")" /M "${args[@]}"
    timeout -k 10 "$limit" "${command[@]}" >/dev/null 2>&1 </dev/null || true
    clip_bytes >/dev/null
    [ "$i" -eq 0 ] && continue
    read -r -a line <"$work/rate.txt"
    # shown first-ms first-pos last-ms last-pos ended exit
    if [ "${line[0]}" -lt 0 ] || [ "${line[1]}" -lt 0 ] || [ "${line[3]}" -le "${line[1]}" ]; then
      note "$label: the window showed no digest pass to measure (${line[*]})"
      continue
    fi
    before+=("$(calc '%.0f' "20000 / ($short_md5 - $short_plain)")")
    after+=("$(calc '%.0f' "(${line[4]} - ${line[2]}) / 1024 * 20000 * $namings / ((${line[3]} - ${line[1]}) / 1000)")")
  done
  if [ ${#after[@]} -eq 0 ]; then row_failed "$label" "no measurement"; return; fi
  local b a
  b=$(median "${before[@]}")
  a=$(median "${after[@]}")
  row "$label" "$(thousands "$a") files/s shown" "$(thousands "$b") files/s before" \
    "$(calc '%.2f' "$a / $b")" "" "" ""
}
