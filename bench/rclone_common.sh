# shellcheck shell=bash disable=SC2034,SC2154
# rclone as the peer in bench/upload and bench/download: the same bytes moved
# on the same nodes' SFTP services. Sourced; needs $base (first query port).
#
# One rclone process moves all the files of a measurement through a combine
# remote whose upstreams n1..n4 are the nodes' SFTP services, so its
# --transfers 4 spread over the nodes as our TRANSFERS=4 does. One rclone per
# node started together was tried as well: no faster, and it would let rclone
# move more files at once than we do while paying one start-up per node.
#
# Only a temporary config is read, never the user's. The options keep rclone
# from what the node refuses or what costs time for nothing: no shell (the
# node serves the sftp subsystem only, so no remote hash commands), no
# modification times set, no destination listing or checks (each target is a
# fresh reservation), one try only (a refusal is a fault here, not a glitch).
# Chunk size and multi-thread downloads stay at rclone's defaults: 255k
# chunks, and 4 streams on one 64 MiB copy, measured no faster here.

command -v rclone >/dev/null ||
  { echo "the benchmarks compare with rclone: apt-get install rclone" >&2; exit 1; }

rclone_dir=
rclone_options=(--transfers 4 --no-check-dest --no-traverse --retries 1 --low-level-retries 1 --stats 0)

# The sftp remotes n1..n4 in a temporary config under $1.
rclone_setup() {
  rclone_dir=$1/rclone
  mkdir -p "$rclone_dir"
  local i conf=$rclone_dir/nodes.conf
  : >"$conf"
  for i in 1 2 3 4; do
    printf '[n%d]\ntype = sftp\nhost = 127.0.0.1\nport = %d\nuser = node%d\npass = %s\n' \
      "$i" $((base + 99 + i)) "$i" "$(rclone --config /dev/null obscure "pass$i")" >>"$conf"
    printf 'shell_type = none\ndisable_hashcheck = true\nset_modtime = false\n\n' >>"$conf"
  done
}

# Where node $1 (1-based) keeps its storage areas: the root of nN under "all:".
rclone_node_root() { echo "/home/node$1/MORBS-SYSTEM/MORB$1"; }

# The config for one run: the nodes plus "all", combining those the list
# names (nN/... lines), so rclone connects to no node it does not use.
rclone_config_for() {
  local list=$1 conf=$rclone_dir/run.conf n upstreams=
  cp "$rclone_dir/nodes.conf" "$conf"
  for n in $(cut -d/ -f1 "$list" | sort -u); do
    upstreams+="$n=$n:$(rclone_node_root "${n#n}") "
  done
  printf '[all]\ntype = combine\nupstreams = %s\n' "$upstreams" >>"$conf"
  echo "$conf"
}

# rclone copy SRC DST of the files in LIST (nN/... paths, "all:" being the
# combine remote); only the copy is timed, into rclone_ns.
rclone_ns=0
rclone_copy_timed() {
  local src=$1 dst=$2 list=$3 conf t0 t1
  conf=$(rclone_config_for "$list")
  t0=$(date +%s%N)
  rclone --config "$conf" copy "$src" "$dst" --files-from "$list" "${rclone_options[@]}" \
    2>"$rclone_dir/rclone.log" ||
    { cat "$rclone_dir/rclone.log" >&2; echo "rclone copy $src $dst failed" >&2; exit 1; }
  t1=$(date +%s%N)
  rclone_ns=$((t1 - t0))
  [ ! -s "$rclone_dir/rclone.log" ] || cat "$rclone_dir/rclone.log" >&2
}
