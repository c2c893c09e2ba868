#include "zones/boot_include.h"

#include <string>

#include "output/console.h"
#include "output/output_file.h"
#include "zones/shared_state.h"

const std::array<std::string_view, 18> ReversePrimaryLines = {
    "PRIMARY  10.in-addr.arpa.       r10.rev",
    "PRIMARY  16.172.in-addr.arpa.   r17216.rev",
    "PRIMARY  17.172.in-addr.arpa.   r17217.rev",
    "PRIMARY  18.172.in-addr.arpa.   r17218.rev",
    "PRIMARY  19.172.in-addr.arpa.   r17219.rev",
    "PRIMARY  20.172.in-addr.arpa.   r17220.rev",
    "PRIMARY  21.172.in-addr.arpa.   r17221.rev",
    "PRIMARY  22.172.in-addr.arpa.   r17222.rev",
    "PRIMARY  23.172.in-addr.arpa.   r17223.rev",
    "PRIMARY  24.172.in-addr.arpa.   r17224.rev",
    "PRIMARY  25.172.in-addr.arpa.   r17225.rev",
    "PRIMARY  26.172.in-addr.arpa.   r17226.rev",
    "PRIMARY  27.172.in-addr.arpa.   r17227.rev",
    "PRIMARY  28.172.in-addr.arpa.   r17228.rev",
    "PRIMARY  29.172.in-addr.arpa.   r17229.rev",
    "PRIMARY  30.172.in-addr.arpa.   r17230.rev",
    "PRIMARY  31.172.in-addr.arpa.   r17231.rev",
    "PRIMARY  168.192.in-addr.arpa.  r192168.rev",
};

void WriteBootInclude() {
  PrintLine("Creating BOOT.NAM include file (" + BootIncludeName + ") to include in your BOOT.NAM file.");
  OutputFile file = OpenOutputFile(BootIncludeName);
  WriteFileLine(file, "; Reverse DNS for all RFC1918 private address blocks. (Makes Windows and Linux happy.)");
  WriteFileLine(file, "PRIMARY  " + PrivateDomain + " rfc1918.nam");
  for (std::string_view line : ReversePrimaryLines) WriteFileLine(file, line);
  CloseOutputFile(file);
}
