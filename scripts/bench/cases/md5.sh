#     md5       the MD5 code on 1 GiB in memory, natively, against md5sum and
#               openssl on a cached 1 GiB file (throughput)

bench_case md5 md5_data md5_native -

md5_data() { dataset big make_big; }

md5_native() {
  local speed=$tools/md5_speed prog=() sum=() ssl=() out i size
  g++ -O2 -I"$top" "$bench/md5_speed.cpp" "$top/hash/md5.cpp" -o "$speed"
  size=$(stat -c %s "$big")
  cache_big
  note "md5: warm-up, then $runs rounds"
  for i in $(seq 0 "$runs"); do
    out=$("$speed" 1024)
    local t1 t2
    t1=$(native_time "md5sum '$big'")
    t2=$(native_time "openssl dgst -md5 '$big'")
    [ "$i" -eq 0 ] && continue
    prog+=("$(calc '%.1f' "1073741824 / ${out%% *} / 1e6")")
    sum+=("$(calc '%.1f' "$size / $t1 / 1e6")")
    ssl+=("$(calc '%.1f' "$size / $t2 / 1e6")")
  done
  local p s o
  p=$(median "${prog[@]}")
  s=$(median "${sum[@]}")
  o=$(median "${ssl[@]}")
  row md5 "$p MB/s" "md5sum $s MB/s" "$(calc '%.2f' "$p / $s")" "" "" ""
  row md5 "$p MB/s" "openssl $o MB/s" "$(calc '%.2f' "$p / $o")" "" "" ""
  local file_digest
  file_digest=$(md5sum <"$big" | cut -c1-32)
  if [ "$file_digest" = "${out##* }" ]; then
    notes+=("md5: md5_speed and md5sum of the file agree on $file_digest")
  else
    notes+=("md5: md5_speed gave ${out##* }, md5sum of the file $file_digest (different bytes)")
  fi
}
