// The progress title: the banner and the address being written.
#pragma once

#include <string>

#include "output/console.h"
#include "zones/address.h"
#include "zones/shared_state.h"

inline void ShowProgressTitle(std::int64_t address) {
  std::string title(BannerText);
  title += FormatDottedQuad(static_cast<Ipv4Value>(address));
  SetTitle(title);
}

// Called once per address of a detailed block, before its line.
inline void UpdateProgressTitle(Ipv4Value address) {
  StepRunTitle(address, ShowProgressTitle);
}
