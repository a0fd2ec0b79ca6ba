#!/usr/bin/env bash
# bash check_sweep.sh CASE absbench-stats.exe WORK EMULATOR...: the sweep of absbench-stats.exe as a
# Windows user runs it, here under Wine. measures: every measure, its outputs and a comparison of
# its record, a kernel that returns early measured only when called. hostile: a kernel of each
# kind that breaks its caller or calls the host's kernel past Wine beside the table, all left out
# and named, the table written, exit 1. interrupt: SIGINT during a sweep ends it soon, with the
# code a shell reads, and leaves no process of it.
set -uo pipefail
case_name=$1 stats=$2 work=$3
shift 3
emulator=("$@")
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
# A copy of its own, so that the processes of this case, its children included (they start the
# program they are), can be told from those of the tests beside it.
cp "$stats" "sweep-$case_name.exe" || exit 1
stats=$PWD/sweep-$case_name.exe

fail() {
  echo "check_sweep.sh $case_name: $*" >&2
  for file in out.txt err.txt; do [[ -f $file ]] && { echo "--- $file"; cat "$file"; }; done >&2
  exit 1
}

# Processes of this program still there, Wine's own server and services aside.
left_behind() { pgrep -f "sweep-$case_name[.]exe" || true; }

sweep() { "${emulator[@]}" "$stats" --sweep --seed 7 "$@" </dev/null >out.txt 2>err.txt; }

case $case_name in
measures)
  # st returns by a RET of its own (mov [rsp - 8], eax; ret): measured when called, never inline.
  sweep --measure all --rounds 2 --calls 200 --csv sweep.csv --json sweep.json --kernel st=894424F8C3
  status=$?
  [[ $status == 0 ]] || fail "exit status $status, not 0"
  for measure in latency throughput; do
    grep -q "^$measure: not measured for st: it returns before the end of its bytes" out.txt ||
      fail "st's early return is not named for $measure"
  done
  # A header, and for each of three measures both passes of the thirteen procedures less the
  # empty one at 64 placements, and st's in the call loop.
  rows=$(wc -l <sweep.csv)
  [[ $rows == $((1 + 3 * 2 * 12 * 64 + 2 * 64)) ]] || fail "sweep.csv has $rows rows"
  grep -q $'\r' sweep.csv && fail "sweep.csv has CR line ends"
  grep -q '^containment: ' out.txt || fail "the header does not name the containment"
  "${emulator[@]}" "$stats" --compare sweep.json sweep.json </dev/null >out.txt 2>err.txt ||
    fail "--compare of its own record failed"
  grep -q 'same' out.txt || fail "--compare of a record with itself calls nothing the same"
  ;;
hostile)
  kernels=(
    ud2=0F0B          # ud2
    null=31C98901     # xor ecx, ecx; mov [rcx], eax
    spin=EBFE         # jmp $
    int3=CC           # int3
    mxcsr=6A000FAE142459 # push 0; ldmxcsr [rsp]; pop rcx
    rsp=31E4          # xor esp, esp
    xmm6=0F57F6       # xorps xmm6, xmm6 (kept by a Windows caller)
    getpid=B8270000000F05C3 # mov eax, 39; syscall; ret (Linux's getpid)
    int80=B814000000CD80C3  # mov eax, 20; int 0x80; ret (getpid in Linux's IA-32 table)
    # mov eax, 39; mov cx, 0; mov gs, cx; syscall: the call comes with the thread's TEB lost
    gs=B82700000066B900008EE90F05
    # inc qword [rsp+8]; cmp qword [rsp+8], 100; jb +2; ud2; ret: its 100th call faults at byte 13
    late=48FF44240848837C24086472020F0BC3
    # A far jump to 32-bit code, then mov eax, 20; syscall there: Linux tells a filter the vDSO's
    # address for it, not the placed code's.
    compat=488D1D18000000488D05110000004883EC1089042466C74424042300FF2C2489DCB8140000000F05F4
  )
  arguments=()
  for kernel in "${kernels[@]}"; do arguments+=(--kernel "$kernel"); done
  sweep --rounds 2 --calls 50 --csv sweep.csv "${arguments[@]}"
  status=$?
  [[ $status == 1 ]] || fail "exit status $status, not 1"
  for kernel in "${kernels[@]}"; do
    name=${kernel%%=*}
    grep -q "^left out: $name: " out.txt || fail "$name is not left out with its reason"
    grep -q ",$name," sweep.csv && fail "$name was measured"
  done
  grep -q "^left out: getpid: it made the system call number 39 of Linux's x86-64 calls$" out.txt ||
    fail "getpid's Linux system call is not named"
  grep -q "^left out: gs: it made the system call number 39 of Linux's x86-64 calls$" out.txt ||
    fail "the call made with GS moved is not named"
  # Where in the kernel each fault was, in the contract check and in the sweep.
  grep -q "^left out: ud2: .*(illegal instruction) at byte 0 of the kernel$" out.txt ||
    fail "ud2's fault is not placed at its byte 0"
  grep -q "^left out: null: .*(access violation) at byte 2 of the kernel$" out.txt ||
    fail "null's fault is not placed at its byte 2"
  grep -q "^left out: late: .*(illegal instruction) at byte 13 of the kernel at placement " \
    out.txt || fail "late's fault is not placed at its byte 13"
  grep -q "^left out: compat: it made the system call number 20 of Linux's IA-32 calls$" out.txt ||
    fail "the IA-32 call from 32-bit code is not named"
  rows=$(wc -l <sweep.csv)
  [[ $rows == $((1 + 2 * 12 * 64)) ]] || fail "sweep.csv has $rows rows, not the table's"
  [[ -z $(left_behind) ]] || fail "processes left: $(left_behind)"
  ;;
interrupt)
  "${emulator[@]}" "$stats" --sweep --rounds 1000 </dev/null >out.txt 2>err.txt &
  started=$!
  sleep 8
  kill -0 "$started" 2>/dev/null || fail "the sweep ended before it was interrupted"
  kill -INT "$started"
  asked=$(date +%s%N)
  wait "$started"
  status=$?
  took_ms=$((($(date +%s%N) - asked) / 1000000))
  [[ $status == 130 ]] || fail "exit status $status, not 130"
  ((took_ms <= 3000)) || fail "it took $took_ms ms to end"
  sleep 1
  [[ -z $(left_behind) ]] || fail "processes left: $(left_behind)"
  ;;
*) fail "no such case" ;;
esac
echo "check_sweep.sh $case_name: passed"
