#pragma once
// Ctrl+C while a tool works: the tool finishes the file in hand and stops, as Windows' tools do
// between files.

namespace nx::tools {

void WatchForInterrupt();
bool Interrupted();

}  // namespace nx::tools
