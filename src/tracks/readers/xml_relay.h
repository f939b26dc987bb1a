#pragma once
// A large XML file scanned on a thread of its own while the caller's thread hands the events of
// the part already scanned to the handler: reading the markup and turning it into points then
// take a core each. The handler sees exactly the calls, in exactly the order, that scanning on
// its own thread would give, and all of them on the caller's thread.

#include <cstddef>
#include <optional>

#include "tracks/readers/xml_scanner.h"
#include "tracks/text_file.h"

namespace tolvex {

// Scans the opened file to its end as ScanXmlFile does. An exception of the scan (memory) is
// thrown again here; one of the handler stops the scan and leaves through this call. Nothing
// when no thread can be started: the file is then untouched and the caller scans it itself.
std::optional<bool> RelayXmlFile(TextFileReader& file, XmlHandler& handler);

}  // namespace tolvex
