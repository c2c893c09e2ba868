#!/usr/bin/env bash
# Power cuts, simulated: a file system image on a loop device gets a /B run
# over the files of an older run; at random moments during it the image is
# copied as the device then holds it (what was not written back is lost, as
# in a power cut), and each copy is mounted (its journal replayed) and every
# file classed: complete, as before, empty, guarded (the guard, then the
# file's bytes), guarded then zeros, or wrong. Needs root; bounded by count.
#   bench/crash_states.sh ZONQUIST [COPIES] [FS...]    FS: ext4 (default), xfs, btrfs
set -euo pipefail
zonquist=$(realpath "$1")
copies=${2:-40}
shift $(($# < 2 ? $# : 2))
filesystems=("${@:-ext4}")
work=$(mktemp -d /dev/shm/zonquist-crash-XXXXXX)
mnt=$work/mnt
mkdir "$mnt" "$work/complete" "$work/older"
cleanup() {
  umount "$mnt" 2>/dev/null || true
  losetup -D 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
(cd "$work/complete" && "$zonquist" /B lan.internal. >/dev/null)
(cd "$work/older" && "$zonquist" /C old.example. >/dev/null)

classify() {  # FOLDER: one word per file
  python3 - "$1" "$work/complete" "$work/older" <<'PY'
import os, sys
folder, complete, older = sys.argv[1:]
guard = b"INCOMPLETE-ZONQUIST-20070118-IS-WRITING\n"
for name in sorted(os.listdir(complete)):
    path = os.path.join(folder, name)
    data = open(path, "rb").read() if os.path.exists(path) else None
    whole = open(os.path.join(complete, name), "rb").read()
    before = open(os.path.join(older, name), "rb").read()
    if data == whole: kind = "complete"
    elif data == before: kind = "as-before"
    elif data == b"": kind = "empty"
    elif data is not None and data.startswith(guard) and len(data) <= len(whole):
        rest, want = data[len(guard):], whole[len(guard):len(data)]
        if rest == want: kind = "guarded"
        else:
            # Blocks that are the file's bytes or zeros, nothing else.
            ok = all(rest[i:i + 4096] in (want[i:i + 4096], bytes(len(rest[i:i + 4096]))) for i in range(0, len(rest), 4096))
            kind = "guarded-then-zeros" if ok else "WRONG"
    else: kind = "WRONG"
    print(kind, name)
PY
}

for fs in "${filesystems[@]}"; do
  image=$work/$fs.img
  truncate -s 400M "$image"
  "mkfs.$fs" -q "$image" >/dev/null 2>&1 || "mkfs.$fs" -f "$image" >/dev/null
  mount -o loop "$image" "$mnt"
  cp "$work/older"/* "$mnt"
  sync
  # The run, and copies of the image at random moments while it lasts.
  (cd "$mnt" && exec "$zonquist" /B lan.internal. >/dev/null 2>&1) &
  run=$!
  n=0
  while ((n < copies)) && kill -0 "$run" 2>/dev/null; do
    sleep "0.0$((RANDOM % 10))"
    cp --sparse=always "$image" "$work/copy-$n.img"
    n=$((n + 1))
  done
  wait "$run" || true
  umount "$mnt"
  for ((i = 0; i < n; i++)); do
    mount -o loop "$work/copy-$i.img" "$mnt" 2>/dev/null || { echo "$fs copy $i: does not mount"; continue; }
    classify "$mnt"
    umount "$mnt"
    rm "$work/copy-$i.img"
  done | awk -v fs="$fs" -v n="$n" '{ count[$1]++ } $1 == "WRONG" { print fs ": WRONG " $2 }
    END { printf "%s: %d copies, %d file states:", fs, n, NR; for (k in count) printf " %s %d", k, count[k]; print "" }'
  rm "$image"
done
