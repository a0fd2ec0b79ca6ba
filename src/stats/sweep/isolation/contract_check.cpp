#include "stats/sweep/isolation/contract_check.h"

#include <cstdio>
#include <cstring>
#include <iterator>

#include "stats/pass.h"
#include "stats/sweep/isolation/child_exits.h"
#include "stats/sweep/isolation/child_input.h"
#include "stats/sweep/isolation/fault_place.h"
#include "stats/sweep/isolation/kernel_call.h"
#include "stats/sweep/placed/procedures.h"
#include "stats/system/code_arena.h"
#include "stats/system/fault_address.h"
#include "stats/system/processes.h"
#include "stats/system/sandbox.h"

extern "C" const uint8_t InlineCheckEnd[4];

namespace stats {

namespace {

constexpr int CHECK_LIMIT_MS = 1000;

// What the check child may write: two records of each copy, and no flood.
constexpr size_t CHECK_OUTPUT_LIMIT = 64 << 10;

// The words of the page the check child shares: a fault's address, and where each copy lies.
enum PageWord {
  FAULT_AT,
  FAULTED,
  CALLED_COPY,
  CALLED_LENGTH,
  INLINE_COPY,
  INLINE_LENGTH,
  PAGE_WORDS
};

void Publish(int64_t* page, PageWord at, const CodeArena& arena, size_t from, size_t length) {
  if (page == nullptr) return;
  page[at] = static_cast<int64_t>(reinterpret_cast<uintptr_t>(arena.bytes() + from));
  page[at + 1] = static_cast<int64_t>(length);
}

// Where in the kernel's copies the check child's fault was, when it said.
std::string FaultPlaceIn(const ChildRun& child, const SharedPage& page) {
  const auto* words = static_cast<const int64_t*>(page.bytes());
  if (words == nullptr || child.outcome != ChildRun::ENDED || child.ending.fault.empty()) return "";
  const std::optional<uint64_t> address = StoredFaultAddress(&words[FAULT_AT]);
  if (!address) return "";
  auto copy = [&](PageWord at) {
    const auto length = static_cast<uint64_t>(words[at + 1]);
    return PlacedCopies{static_cast<uint64_t>(words[at]), length, length, 1};
  };
  return FaultPlace(*address,
                    {{"the kernel", copy(CALLED_COPY)}, {"its inline copy", copy(INLINE_COPY)}});
}

// `code`, `at` bytes into `arena`, made executable; ends the child when it cannot be.
void Place(CodeArena& arena, const std::vector<uint8_t>& code, size_t at) {
  if (!arena.ok()) ExitAtOnce(CANNOT_PLACE);
  std::memset(arena.writable(), 0xCC, arena.size());
  std::memcpy(arena.writable() + at, code.data(), code.size());
  if (!arena.MakeExecutable()) ExitAtOnce(CANNOT_MAKE_EXECUTABLE);
}

// Calls the code `at` bytes into `arena` once per operand and reports the records.
void CallAndReport(const CodeArena& arena, size_t at, ReportChannel report) {
  KernelCallRecord records[2];
  for (int i = 0; i < 2; ++i) records[i] = CallKernelChecked(arena.bytes() + at, PASS_OPERANDS[i]);
  ReportBytes(report, records, sizeof records);
}

// In the child: the kernel called as the loop calls it, then its body run as an inline copy runs,
// straight into the check's end and elsewhere in memory, as copies are. Both are placed before the
// sandbox closes, so that the kernel's bytes run where the child can only write its report and end.
// A fault in the second leaves the first one's records reported.
[[noreturn]] void CallInChild(const Procedure& kernel, ReportChannel report, int64_t* page) {
  constexpr size_t INLINE_AT = 1024 + 2;
  std::vector<uint8_t> inline_copy = BodyOf(kernel);
  const size_t body_length = inline_copy.size();
  inline_copy.insert(inline_copy.end(), std::begin(InlineCheckEnd), std::end(InlineCheckEnd));
  CodeArena called(kernel.bytes.size()), inlined(INLINE_AT + inline_copy.size());
  Place(called, kernel.bytes, 0);
  Place(inlined, inline_copy, INLINE_AT);
  Publish(page, CALLED_COPY, called, 0, kernel.bytes.size());
  // The check's end after the body is not the kernel's: a fault there is outside its bytes.
  Publish(page, INLINE_COPY, inlined, INLINE_AT, body_length);
  SandboxRules rules;
  rules.report = report;
  if (const std::string problem = EnterSandbox(rules); !problem.empty()) {
    SayOnStandardError(problem);
    ExitAtOnce(CANNOT_CLOSE_IN);
  }
  CallAndReport(called, 0, report);
  CallAndReport(inlined, INLINE_AT, report);
  ExitAtOnce(0);
}

// Why an inline copy cannot stand for the called kernel, or empty.
std::string InlineRefusal(const ChildRun& child, const std::string& fault_place,
                          const KernelCallRecord (&called)[2],
                          const KernelCallRecord (&inline_copy)[2], bool complete) {
  if (child.outcome == ChildRun::TIMED_OUT) return "its inline copy does not return within 1 s";
  if (child.outcome == ChildRun::ENDED && (!complete || !child.ending.fault.empty()))
    return "the process running its inline copy " + child.ending.words + fault_place;
  if (!complete) return "its inline copy could not be checked";
  if (ReturnedBeforeItsEnd(inline_copy[0]) || ReturnedBeforeItsEnd(inline_copy[1]))
    return "it returns before the end of its bytes (a RET among them), which an inline copy cannot";
  for (int i = 0; i < 2; ++i) {
    const uint32_t got = KernelResult(inline_copy[i]);
    const uint32_t expected = KernelResult(called[i]);
    if (got != expected) {
      char text[160];
      std::snprintf(text, sizeof text,
                    "its inline copy leaves 0x%X in EAX for the operand %d, the called kernel 0x%X",
                    got, PASS_OPERANDS[i], expected);
      return text;
    }
  }
  return "";
}

}  // namespace

void PlayContractCheck(const std::string& input, const RoleContext& context) {
  InputReader read(input);
  const Procedure kernel = read.Kernel();
  if (!read.whole()) RefuseRoleInput(CONTRACT_CHECK_ROLE, "its kernel is garbled");
  SharedPage page(context.shared_page, PAGE_WORDS * sizeof(int64_t));
  auto* words = static_cast<int64_t*>(page.bytes());
  if (words != nullptr) RecordFaultAddressIn(&words[FAULT_AT]);
  CallInChild(kernel, context.report, words);
}

ContractCheck CheckUserKernel(const Procedure& kernel) {
  ChildLimits limits;
  limits.time_limit_ms = CHECK_LIMIT_MS;
  limits.output_limit = CHECK_OUTPUT_LIMIT;
  InputWriter input;
  input.Kernel(kernel);
  const SharedPage page(PAGE_WORDS * sizeof(int64_t));
  const ChildRun child =
      RunRole(CONTRACT_CHECK_ROLE, input.bytes(), limits, page.bytes() ? &page : nullptr);
  if (child.outcome == ChildRun::OVERFLOWED) return {"it writes more than 64 KiB", ""};
  if (child.outcome == ChildRun::ENDED) {
    const std::string call = RefusedSystemCall(child);
    if (!call.empty()) return {"it made the system call " + call, ""};
    if (child.ending.exit_code == CANNOT_CLOSE_IN) return {"cannot check it: " + child.errors, ""};
  }
  KernelCallRecord records[2] = {}, inline_records[2] = {};
  const bool called = child.report.size() >= sizeof records;
  if (called) std::memcpy(records, child.report.data(), sizeof records);
  if (!called) {
    if (child.outcome == ChildRun::TIMED_OUT) return {"it does not return within 1 s", ""};
    if (child.outcome != ChildRun::ENDED) return {"cannot check it: " + child.failure, ""};
    const int exit_code = child.ending.exit_code;
    if (exit_code == CANNOT_PLACE || exit_code == CANNOT_MAKE_EXECUTABLE) {
      return {"it could not be placed in executable memory to be checked", ""};
    }
    return {"the process running it " + child.ending.words + FaultPlaceIn(child, page), ""};
  }
  for (int i = 0; i < 2; ++i) {
    if (std::string broken = BrokenContract(records[i], PASS_OPERANDS[i]); !broken.empty()) {
      return {broken, ""};
    }
  }
  const bool complete = child.report.size() == 2 * sizeof records;
  if (complete) std::memcpy(inline_records, child.report.data() + sizeof records, sizeof records);
  return {"", InlineRefusal(child, FaultPlaceIn(child, page), records, inline_records, complete)};
}

}  // namespace stats
