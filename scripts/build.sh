#!/usr/bin/env bash
# Optimised build of every deliverable into build/release.  KELVO_RELEASE_TESTS=ON builds the
# tests there too (scripts/test.sh runs them in this build as well as in the sanitizer build).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DKELVO_TESTS="${KELVO_RELEASE_TESTS:-OFF}" -UKELVO_SUBDIRS
cmake --build build/release -j "$(nproc)"
# The LaTeX style files that exported worksheets name, installed where TeX finds them: the local
# TeX tree, whose file database mktexlsr renews (only when a file changed).
texmf=$(kpsewhich -var-value TEXMFLOCAL 2>/dev/null || true)
if [[ -n $texmf && -d build/release/share/latex ]]; then
    dest="$texmf/tex/latex/kelvo"
    changed=0
    for sty in build/release/share/latex/*.sty; do
        cmp -s "$sty" "$dest/$(basename "$sty")" || changed=1
    done
    if ((changed)); then
        if mkdir -p "$dest" 2> /dev/null && cp build/release/share/latex/*.sty "$dest"/; then
            mktexlsr "$texmf" > /dev/null 2>&1
        else
            echo "note: could not install the LaTeX style files into $dest (run as root)"
        fi
    fi
fi
