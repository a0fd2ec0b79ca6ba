#include "stats/sweep/isolation/beacon.h"

#include <algorithm>

#include "stats/sweep/estimate/grid.h"
#include "stats/system/fault_address.h"

namespace stats {

namespace {

// Named, then the measure, the kernel plus one and the placement, in one word.
constexpr uint64_t NAMED = uint64_t{1} << 63;

int64_t Load(const int64_t& field) { return __atomic_load_n(&field, __ATOMIC_ACQUIRE); }
void Store(int64_t& field, int64_t value) { __atomic_store_n(&field, value, __ATOMIC_RELEASE); }

int64_t CellWord(SweepMeasure measure, int kernel, size_t placement) {
  return static_cast<int64_t>(NAMED | uint64_t{static_cast<uint8_t>(measure)} << 56 |
                              uint64_t{static_cast<uint16_t>(kernel + 1)} << 32 |
                              static_cast<uint32_t>(placement));
}

}  // namespace

Beacon::Beacon() : page_(FIELDS * sizeof(int64_t)) {
  fields_ = static_cast<int64_t*>(page_.bytes());
}

Beacon::Beacon(SharedPage::Handle handle) : page_(handle, FIELDS * sizeof(int64_t)) {
  fields_ = static_cast<int64_t*>(page_.bytes());
}

void Beacon::Enter(SweepMeasure measure, int kernel, size_t placement) {
  const int64_t word = CellWord(measure, kernel, placement);
  if (Load(fields_[LAST]) == word) return;
  Store(fields_[BEFORE], Load(fields_[LAST]));
  Store(fields_[LAST], word);
}

void Beacon::Count(size_t done, size_t total, bool waiting) {
  Store(fields_[WAITING], waiting ? 1 : 0);
  Store(fields_[TOTAL], static_cast<int64_t>(total));
  Store(fields_[DONE], static_cast<int64_t>(done));
}

void Beacon::Placed(const PlacedCopies& copies) {
  Store(fields_[FIRST], static_cast<int64_t>(copies.first));
  Store(fields_[STRIDE], static_cast<int64_t>(copies.stride));
  Store(fields_[LENGTH], static_cast<int64_t>(copies.length));
  Store(fields_[COPIES], static_cast<int64_t>(copies.copies));
  Store(fields_[COPIES_OF], Load(fields_[LAST]));
}

std::optional<uint64_t> Beacon::FaultAddress() const {
  return StoredFaultAddress(&fields_[FAULT_AT]);
}

std::optional<PlacedCopies> Beacon::CopiesOf(const NamedCell& cell) const {
  if (Load(fields_[COPIES_OF]) != CellWord(cell.measure, cell.kernel, cell.placement))
    return std::nullopt;
  return PlacedCopies{
      static_cast<uint64_t>(Load(fields_[FIRST])), static_cast<uint64_t>(Load(fields_[STRIDE])),
      static_cast<uint64_t>(Load(fields_[LENGTH])), static_cast<uint64_t>(Load(fields_[COPIES]))};
}

std::optional<NamedCell> Beacon::Named(int back,
                                       const std::vector<MeasureKernels>& measures) const {
  const auto cell = static_cast<uint64_t>(Load(fields_[back == 0 ? LAST : BEFORE]));
  const auto measure = static_cast<SweepMeasure>((cell >> 56) & 0x7F);
  const int kernel = static_cast<int>((cell >> 32) & 0xFFFF) - 1;
  const size_t placement = cell & 0xFFFFFFFF;
  const auto timed = std::find_if(measures.begin(), measures.end(),
                                  [&](const MeasureKernels& m) { return m.measure == measure; });
  if ((cell & NAMED) == 0 || timed == measures.end() || placement >= GridFor(measure).size())
    return std::nullopt;
  // A kernel the measure does not time never ran there: its copy may be one refused inline.
  if (kernel >= 0 && std::find(timed->kernels.begin(), timed->kernels.end(),
                               static_cast<size_t>(kernel)) == timed->kernels.end())
    return std::nullopt;
  return NamedCell{measure, kernel, placement};
}

size_t Beacon::done() const {
  return static_cast<size_t>(std::max<int64_t>(Load(fields_[DONE]), 0));
}

bool Beacon::waiting() const { return Load(fields_[WAITING]) == 1; }

size_t Beacon::total() const {
  return std::max(done(), static_cast<size_t>(std::max<int64_t>(Load(fields_[TOTAL]), 0)));
}

double Beacon::StoppedSeconds() const {
  return static_cast<double>(std::max<int64_t>(Load(fields_[STOPPED]), 0)) / 1e9;
}

}  // namespace stats
