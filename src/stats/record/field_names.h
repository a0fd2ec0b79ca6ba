// The record's field names, once: its writer and its reader both name each field from here.
#pragma once

namespace stats::field_name {

constexpr const char ASSEMBLY[] = "assembly";
constexpr const char BRAND[] = "brand";
constexpr const char BYTES[] = "bytes";
constexpr const char CALLS[] = "calls";
constexpr const char CELLS[] = "cells";
constexpr const char CHUNK_LENGTH[] = "chunk_length";
constexpr const char CLOCK_GHZ[] = "clock_ghz";
constexpr const char CONTAINMENT[] = "containment";
constexpr const char DATE_UTC[] = "date_utc";
constexpr const char END[] = "end";
constexpr const char FAMILY[] = "family";
constexpr const char FASTEST[] = "fastest";
constexpr const char FIGURES[] = "figures";
constexpr const char FIRST_HALF_CYCLES[] = "first_half_cycles";
constexpr const char HYPERVISOR[] = "hypervisor";
constexpr const char IQR_CYCLES[] = "iqr_cycles";
constexpr const char KERNEL_OFFSET[] = "kernel_offset";
constexpr const char KERNEL_RELEASE[] = "kernel_release";
constexpr const char KERNELS[] = "kernels";
constexpr const char LAYOUT_SENSITIVE[] = "layout_sensitive";
constexpr const char LEFT_OUT[] = "left_out";
constexpr const char LOGICAL_CPUS[] = "logical_cpus";
constexpr const char LOOP_OFFSET[] = "loop_offset";
constexpr const char MACHINE[] = "machine";
constexpr const char MEASURE[] = "measure";
constexpr const char MEASURES[] = "measures";
constexpr const char MEDIAN_CYCLES[] = "median_cycles";
constexpr const char MICROARCHITECTURE[] = "microarchitecture";
constexpr const char MODEL[] = "model";
constexpr const char NAME[] = "name";
constexpr const char NET_CYCLES[] = "net_cycles";
constexpr const char NOISE_FLOOR_CYCLES[] = "noise_floor_cycles";
constexpr const char PASS[] = "pass";
constexpr const char PINNED_CPU[] = "pinned_cpu";
constexpr const char PLACEMENT[] = "placement";
constexpr const char PLACEMENTS[] = "placements";
constexpr const char PRECISE[] = "precise";
constexpr const char PRECISION_CYCLES[] = "precision_cycles";
constexpr const char PREDICTED_CYCLES[] = "predicted_cycles";
constexpr const char PRIORITY_RAISE_ALLOWED[] = "priority_raise_allowed";
constexpr const char PROGRAM_VERSION[] = "program_version";
constexpr const char ROUNDS[] = "rounds";
constexpr const char ROUNDS_UNCERTAINTY_CYCLES[] = "rounds_uncertainty_cycles";
constexpr const char SCHEMA[] = "schema";
constexpr const char SCHEMA_VERSION[] = "schema_version";
constexpr const char SECOND_HALF_CYCLES[] = "second_half_cycles";
constexpr const char SECONDS[] = "seconds";
constexpr const char SEED[] = "seed";
constexpr const char SETTINGS[] = "settings";
constexpr const char SHARE_AWAY[] = "share_away";
constexpr const char SHARED_CORE[] = "shared_core";
constexpr const char SLOWEST[] = "slowest";
constexpr const char STEPPING[] = "stepping";
constexpr const char UNCERTAINTY_CYCLES[] = "uncertainty_cycles";
constexpr const char VENDOR[] = "vendor";
constexpr const char WAITED[] = "waited";

}  // namespace stats::field_name
