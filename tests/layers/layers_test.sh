#!/usr/bin/env bash
# Checks every #include of the sources against the layering in the README:
# each library includes only its own headers and those of the libraries it
# stands on, the generator only what exists before the assets do, and
# nothing below the tools reaches up into a tool, a test or a benchmark.
# Reads the sources only; needs no build. Usage: layers_test.sh SOURCE_DIR
set -u -f  # no globbing: "*" below is a word
src=${1:?usage: layers_test.sh SOURCE_DIR}

# What a layer may include besides its own files: whole layers, or single
# headers where only that one may be used. "*" is anything. The one loop is
# the designed one: the replayer sets channels through the sound-device
# table (sound/sd.h), the audio callback runs the replayer's tick
# (replayer/pt.h). maths is under everything.
uses() {
  case $1 in
    maths | assets) echo "" ;;
    replayer) echo "sound/sd.h maths" ;;
    sound) echo "replayer/pt.h maths" ;;
    music) echo "replayer sound maths" ;;
    fx | vector) echo "assets maths" ;;
    driver) echo "music fx vector assets maths" ;;
    tools/writers) echo "" ;;
    tools/assetgen) echo "vector fx maths assets/frame.h tools/writers" ;;
    tools/* | tests/* | bench | web) echo "*" ;;
    *) return 1 ;;
  esac
}

# The layer of a path relative to the source folder: its first folder; a
# tool or a test suite is a layer of its own, and all benchmarks are one.
# Sets `layer`.
layer_of() {
  local rest=${1#*/}
  case $1 in
    tools/*/* | tests/*/*) layer=${1%%/*}/${rest%%/*} ;;
    */*) layer=${1%%/*} ;;
    *) layer="" ;;
  esac
}

# The file an include names, relative to the source folder: beside the
# includer first, then from the tests' folder (for tests), then from the
# top. Empty when it is none of the tree's files (a system header); a name
# under a layer's folder that is not in the tree (the generated
# assets/assets.h) counts as that layer's. Sets `target`.
resolve() {
  local from=$1 name=$2 quoted=$3 path paths=("$2")
  if [ "$quoted" = 1 ]; then
    paths=("${from%/*}/$name")
    [ "${from#tests/}" != "$from" ] && paths+=("tests/$name")
    paths+=("$name")
  fi
  for path in "${paths[@]}"; do
    if [ -f "$src/$path" ]; then
      case $path in
        *..* | */./*) target=$(realpath -m --relative-to="$src" "$src/$path") ;;
        *) target=$path ;;
      esac
      return
    fi
  done
  target=""
  layer_of "$name"
  if [ "$quoted" = 1 ] && uses "$layer" > /dev/null; then target=$name; fi
}

# Build folders (build*, as the repository ignores them, or any with a
# CMakeCache.txt at their top: a sysroot unpacked before its first
# configure holds thousands of headers) and hidden ones are not sources.
tops=()
set +f
for d in "$src"/*/; do
  d=${d%/}
  [ -f "$d/CMakeCache.txt" ] && continue
  case ${d##*/} in build*) continue ;; esac
  tops+=("${d#"$src"/}")
done
set -f

files=0 includes=0 faults=0
while IFS= read -r -d '' file; do
  rel=${file#"$src"/}
  layer_of "$rel"
  own=$layer
  if ! allowed=$(uses "$own"); then
    echo "$rel: the folder ${own:-(top)} is not in the layering (tests/layers/layers_test.sh)"
    faults=$((faults + 1))
    continue
  fi
  files=$((files + 1))
  while IFS= read -r line; do
    no=${line%%:*}
    text=${line#*:}
    if [[ $text =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*([\"\<])([^\"\>]+) ]]; then
      includes=$((includes + 1))
      quoted=0
      [ "${BASH_REMATCH[1]}" = '"' ] && quoted=1
      resolve "$rel" "${BASH_REMATCH[2]}" "$quoted"
      [ -n "$target" ] || continue
      layer_of "$target"
      theirs=$layer
      [ "$theirs" = "$own" ] && continue
      ok=0
      for a in $allowed; do
        if [ "$a" = "*" ] || [ "$a" = "$theirs" ] || [ "$a" = "$target" ]; then ok=1; fi
      done
      if [ $ok = 0 ]; then
        echo "$rel:$no: includes $target: $own may not use $theirs"
        faults=$((faults + 1))
      fi
    fi
  done < <(grep -n '^[[:space:]]*#[[:space:]]*include' "$file")
done < <(cd "$src" && find "${tops[@]}" -name '.*' -prune -o -type f \
  \( -name '*.c' -o -name '*.cc' -o -name '*.cpp' -o -name '*.h' -o -name '*.hpp' -o -name '*.def' \) -print0 |
  sed -z "s|^|$src/|")

echo "layers: $files files, $includes includes, $faults against the layering"
[ "$files" -gt 0 ] && [ "$faults" = 0 ]
