#include "kernels/kernel_table.h"

#include "console/text.h"

#define DECLARE_KERNEL(name, label, result) \
  void name();                              \
  extern const uint32_t name##_length;
extern "C" {
KERNEL_LIST(DECLARE_KERNEL)
}

namespace {
#define DEFINE_LABEL(name, label, result) STATIC_TEXT(name##_label, label);
KERNEL_LIST(DEFINE_LABEL)
}  // namespace

#define KERNEL_ROW(name, label, result) \
  {#name, name##_label, name, &name##_length, ResultRegister::result},
const KernelSlot KernelTable[KERNEL_COUNT] = {KERNEL_LIST(KERNEL_ROW)};
