#!/bin/sh
# Fails when an include runs against the layers: link <- engine <- commands <- ui <- app,
# sim on link alone, cli on the core below ui. The core folders and cli never include Qt.
# Prints file:line of each offence.
cd "$(dirname "$0")/.." || exit 2
status=0
check() {  # folder, the folders it may include from
  folder=$1; shift
  for f in $(find "$folder" -name '*.h' -o -name '*.cpp'); do
    grep -n '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[a-z]*/' "$f" | while IFS= read -r hit; do
      target=$(printf '%s' "$hit" | sed 's/^[0-9]*:[^"]*"\([a-z]*\)\/.*/\1/')
      ok=no
      for allowed in "$@"; do [ "$target" = "$allowed" ] && ok=yes; done
      [ $ok = yes ] || echo "$f:${hit%%:*}: $folder/ must not include from $target/"
    done
  done
}
core_qt() {
  for folder in link engine commands sim cli; do
    grep -rn --include='*.h' --include='*.cpp' '^[[:space:]]*#[[:space:]]*include[[:space:]]*<Q' "$folder" |
      sed 's/^\([^:]*:[0-9]*\):.*/\1: the core does not include Qt/'
  done
}
out=$( {
  check link link
  check engine link engine
  check commands link engine commands
  check ui link engine commands ui
  check app link engine commands ui app
  check cli link engine commands cli
  check sim link sim
  core_qt
} )
if [ -n "$out" ]; then
  printf '%s\n' "$out"
  echo "layer check failed"
  status=1
fi
exit $status
