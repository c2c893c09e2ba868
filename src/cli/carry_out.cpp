#include "cli/carry_out.h"

#include "output/console.h"
#include "output/output_file.h"
#include "zones/boot_include.h"
#include "zones/catalog_zone.h"
#include "zones/forward_zone.h"
#include "zones/zone_file.h"

std::optional<std::uint32_t> WrittenSerials::Of(std::string_view file) const {
  for (const auto& [name, serial] : found)
    if (name == file) return serial;
  return std::nullopt;
}

WrittenSerials FindWrittenSerials(const RunPlan& plan) {
  WrittenSerials written;
  for (std::string_view name : plan.FileNames) {
    if (name == BootIncludeName) continue;
    if (std::optional<std::uint32_t> serial = WrittenSerial(ReadFileStart(name, ZoneHeaderRoom)))
      written.found.emplace_back(name, *serial);
  }
  return written;
}

std::optional<std::string> RefusedLowering(const ZoneInputs& inputs, const WrittenSerials& written) {
  if (inputs.SerialNext) return std::nullopt;
  for (const auto& [name, serial] : written.found) {
    if (!SerialBelow(inputs.Serial, serial)) continue;
    const std::string s = std::to_string(serial);
    return "Error: " + std::string(name) + " holds serial " + s + "; " + std::to_string(inputs.Serial) +
           " is lower, and secondaries would keep the old records: use --serial next, or a serial above " + s;
  }
  return std::nullopt;
}

namespace {

// Words, not strings: nothing is allocated before the run can catch it.
constexpr std::string_view kBootLine = "Creating BOOT.NAM include file (BOOT.INC) to include in your BOOT.NAM file.";
static_assert(kBootLine.find(BootIncludeName) != std::string_view::npos, "the boot line names the file");
constexpr std::string_view kForwardLine = "Creating RFC1918.NAM";

std::string CatalogLine(const ZoneInputs& inputs) {
  return "Creating " + std::string(CatalogZone.FileName) + " (the catalog zone " + inputs.Catalog + ")";
}

// A file written anew: said, opened, given its lines, committed.
template <class Lines>
void WriteAnew(std::string_view name, std::string_view console, std::uint32_t serial, Lines&& lines) {
  PrintLine(console);
  OutputFile file = OpenOutputFile(name);
  lines(file, serial);
  CloseOutputFile(file);
}

// With --serial next: a file that holds the same lines but for the serial
// is not even opened for writing; one that differs gets the serial after
// its own, and a zone the tool did not write the run's start.
template <class Lines>
void Follow(std::string_view name, std::string_view console, std::optional<std::uint32_t> old,
            std::uint32_t fresh, Lines&& lines) {
  OutputFile compared = OpenComparedFile(name);
  lines(compared, old.value_or(fresh));
  if (CloseComparedFile(compared)) {
    PrintLine("Keeping " + std::string(name) + ": unchanged" + (old ? ", serial " + std::to_string(*old) : ""));
    KeepOutputFile();
    return;
  }
  WriteAnew(name, console, old ? NextSerial(*old) : fresh, lines);
}

void FollowPlan(const RunPlan& plan, const ZoneInputs& inputs, const WrittenSerials& written) {
  const std::uint32_t fresh = inputs.Serial;
  Follow(BootIncludeName, kBootLine, std::nullopt, fresh, [&](OutputFile& f, std::uint32_t) { WriteBootInclude(f, plan); });
  Follow(ForwardZone.FileName, kForwardLine, written.Of(ForwardZone.FileName), fresh,
         [&](OutputFile& f, std::uint32_t serial) {
           WriteZoneHeader(f, inputs, serial);
           for (const BlockSteps& steps : plan.Blocks) WriteBlockARecords(f, steps, inputs);
           WriteNamedRecords(f, inputs);
         });
  auto reverse = [&](const ZonePlan& zone) {
    Follow(zone.Zone.FileName, ConsoleLine(zone), written.Of(zone.Zone.FileName), fresh,
           [&](OutputFile& f, std::uint32_t serial) { WriteReverseZone(f, zone, inputs, serial); });
  };
  for (const BlockSteps& steps : plan.Blocks) {
    if (steps.Switched) PrintLine(" + Processing " + PrefixText(*steps.Block) + " block");
    for (const ZonePlan& zone : steps.Zones) reverse(zone);
  }
  if (plan.UniqueLocal) reverse(*plan.UniqueLocal);
  if (!inputs.Catalog.empty())
    Follow(CatalogZone.FileName, CatalogLine(inputs), written.Of(CatalogZone.FileName), fresh,
           [&](OutputFile& f, std::uint32_t serial) { WriteCatalogZone(f, plan, inputs, serial); });
}

}  // namespace

void CarryOutPlan(const RunPlan& plan, const ZoneInputs& inputs, const WrittenSerials& written) {
  if (inputs.SerialNext) return FollowPlan(plan, inputs, written);
  const std::uint32_t serial = inputs.Serial;
  WriteAnew(BootIncludeName, kBootLine, serial, [&](OutputFile& f, std::uint32_t) { WriteBootInclude(f, plan); });
  // Open for the whole run: an interruption empties it with the zone it
  // stopped in.
  PrintLine(kForwardLine);
  OutputFile forwardZone = OpenOutputFile(ForwardZone.FileName);
  WriteZoneHeader(forwardZone, inputs, serial);
  auto reverse = [&](const ZonePlan& zone) {
    WriteAnew(zone.Zone.FileName, ConsoleLine(zone), serial,
              [&](OutputFile& f, std::uint32_t s) { WriteReverseZone(f, zone, inputs, s); });
  };
  for (const BlockSteps& steps : plan.Blocks) {
    if (steps.Switched) PrintLine(" + Processing " + PrefixText(*steps.Block) + " block");
    WriteBlockARecords(forwardZone, steps, inputs);
    for (const ZonePlan& zone : steps.Zones) reverse(zone);
  }
  if (plan.UniqueLocal) reverse(*plan.UniqueLocal);
  WriteNamedRecords(forwardZone, inputs);
  CloseOutputFile(forwardZone);
  if (!inputs.Catalog.empty())
    WriteAnew(CatalogZone.FileName, CatalogLine(inputs), serial,
              [&](OutputFile& f, std::uint32_t s) { WriteCatalogZone(f, plan, inputs, s); });
}
