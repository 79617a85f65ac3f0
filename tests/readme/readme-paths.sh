#!/bin/bash
# readme-paths.sh SOURCE_DIR BUILD_DIR
# Every repository path README.md names in code (inline spans, fenced and
# indented blocks) exists. A build path, build/<preset>/..., is looked for
# in this build when this build makes its first folder (benchmarks and the
# emulator shim are not built everywhere); paths with placeholders and
# paths outside the repository are not paths of ours.
set -u
source_dir=$1
build_dir=$2

# The code of the README, one piece per line.
code() {
    awk '
        /^[ \t]*```/ { fenced = !fenced; next }
        fenced || /^    / { print; next }
        { prose = prose "\n" $0 }
        END {
            n = split(prose, piece, "`")
            for (i = 2; i <= n; i += 2) print piece[i]
        }' "$source_dir/README.md"
}

missing=0
while read -r path; do
    path=${path%%[.,:;)]}
    case $path in
        *'<'* | *'*'* | *'$'* | *'…'* | *'{'*) continue ;;
        build/*/?*)
            rest=${path#build/*/}
            [[ -e $build_dir/${rest%%/*} ]] || continue
            target=$build_dir/$rest ;;
        build/*) continue ;; # a preset's whole build folder
        *) target=$source_dir/$path ;;
    esac
    if [[ ! -e $target ]]; then
        echo "README.md names $path, which is not there ($target)"
        missing=1
    fi
done < <(code | grep -oE '(^|[][ "'"'"'(=])(bench|build|cmake|constants|fuzz|host|json|message|plugin|protomodel|scripts|standin|tests|tools|translations|upgrade)/[^][ "'"'"'()]*' \
              | sed -E 's/^[][ "'"'"'(=]//' | sort -u)
exit $missing
