// The progress title: the banner and the address being written.
#pragma once

#include <string>

#include "output/console.h"
#include "zones/address.h"
#include "zones/shared_state.h"

inline void ShowProgressTitle(Ipv4Value address) {
  std::string title(BannerText);
  title += FormatDottedQuad(address);
  SetTitle(title);
}

// Called once per address of a detailed block, before its line.
inline void UpdateProgressTitle(Ipv4Value address) {
  StepProgressTitle(LastTitleSecond, address, SecondsUnitsDigit, ShowProgressTitle);
}
