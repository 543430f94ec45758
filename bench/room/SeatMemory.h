#pragma once

namespace kvalor::room {

struct RoomOptions;

// The memory mode: writes the School data at the scale to a data file and pushes the same data
// to a throwaway server, then loads it in two fresh processes of this program, one from the
// file and one from the server, and prints both peaks and their ratio.
int MeasureSeatMemory(const RoomOptions& options);

// The child of that mode: loads as a seat starts (with fix-ups) and prints its peak memory.
int LoadAndReportPeak(const RoomOptions& options);

}  // namespace kvalor::room
