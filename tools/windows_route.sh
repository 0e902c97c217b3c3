# windows_route.sh -- sourced by the Windows scripts: which Windows build this machine can test.
# shellcheck shell=bash
#
# Some x86-64 machines cannot execute 32-bit programs at all (every i386 binary, Wine's own
# included, fails with "Exec format error"), though their kernels have IA-32 emulation. So the
# question is settled by trying: a four-instruction i386 program that exits with 42.
# HALMWIND_WINDOWS_BITS=32 or 64 forces the answer.

# Prints 32 when this machine runs 32-bit programs, 64 when it does not.
windows_route() {
    case "${HALMWIND_WINDOWS_BITS:-}" in
    32 | 64)
        echo "$HALMWIND_WINDOWS_BITS"
        return
        ;;
    "") ;;
    *)
        echo "windows_route: HALMWIND_WINDOWS_BITS must be 32 or 64, not '$HALMWIND_WINDOWS_BITS'" >&2
        return 1
        ;;
    esac
    local dir rc=0
    dir=$(mktemp -d)
    printf '.globl _start\n_start:\n\tmovl $1, %%eax\n\tmovl $42, %%ebx\n\tint $0x80\n' >"$dir/probe.s"
    if as --32 -o "$dir/probe.o" "$dir/probe.s" && ld -m elf_i386 -o "$dir/probe" "$dir/probe.o"; then
        "$dir/probe" 2>/dev/null || rc=$?
    else
        echo "windows_route: could not assemble the 32-bit probe (binutils)" >&2
    fi
    rm -rf "$dir"
    if [ "$rc" -eq 42 ]; then echo 32; else echo 64; fi
}

# Says on one line which build the tests run, and why.
announce_windows_route() {
    local bits=$1 why="this machine runs 32-bit programs"
    [ -n "${HALMWIND_WINDOWS_BITS:-}" ] && why="HALMWIND_WINDOWS_BITS=$HALMWIND_WINDOWS_BITS"
    if [ "$bits" = 64 ]; then
        [ -z "${HALMWIND_WINDOWS_BITS:-}" ] && why="this machine cannot execute 32-bit programs"
        echo "test-windows: testing the 64-bit Windows build under wine64 ($why)"
    else
        echo "test-windows: testing the 32-bit Windows build under 32-bit Wine ($why)"
    fi
}
