#!/usr/bin/env bash
# Fails when a source file includes a folder above its own in the layer order, so
# that dependencies only point down: base is the ground, gui the top.
# One pass of awk over every file: this runs with every test run.
set -u
root=${1:-$(cd "$(dirname "$0")/../.." && pwd)}
layers="base core boxes link ftp export cloud import status app gui"

cd "$root/src" || exit 1
find . -type f \( -name '*.h' -o -name '*.cpp' \) | sed 's|^\./||' | sort |
  xargs awk -v layers="$layers" '
    BEGIN { n = split(layers, names, " "); for (i = 1; i <= n; i++) rank[names[i]] = i; status = 0 }
    FNR == 1 {
        own = FILENAME; sub(/\/.*/, "", own)
        top = (own == FILENAME)              # src/main.cpp stands above every layer
        if (!top && !(own in rank)) { print FILENAME ": folder \x27" own "\x27 is not in the layer order (" layers ")"; status = 1 }
    }
    top || !(own in rank) { next }
    /^[ \t]*#[ \t]*include[ \t]*"[^\/"]+\// {
        target = $0; sub(/^[ \t]*#[ \t]*include[ \t]*"/, "", target); sub(/\/.*/, "", target)
        if ((target in rank) && rank[target] > rank[own]) {
            print FILENAME ":" FNR ": " own " includes " target ", a layer above it"; status = 1
        }
    }
    own != "gui" && /^[ \t]*#[ \t]*include[ \t]*<Q/ { print FILENAME ": includes Qt outside gui"; status = 1 }
    END {
        if (status == 0) print "layers: every include points down"
        exit status
    }' || exit 1
