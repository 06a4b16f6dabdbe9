// Whether a drive's volume has gone: what tells a device that dropped off
// USB (or restarted) from one that is still there but does not answer.
#pragma once

#include <atomic>
#include <cstdint>

#include "bootdrive/drive_system.h"

namespace bootdrive {

// The volumes Windows announced removed (WM_DEVICECHANGE,
// DBT_DEVICEREMOVECOMPLETE): bit 0 for A:, bit 25 for Z:. The window adds
// to it as the announcements come; a copy forgets its drive's bit when it
// begins, so that only removals during the copy count.
extern std::atomic<uint32_t> VolumesAnnouncedGone;
void NoteVolumesRemoved(uint32_t letters);
void ForgetVolumeRemoval(char letter);

// How the volume of `letter` ('A'..'Z') was seen to go, for the log: its
// letter is no longer among the logical drives, its root is no longer a
// drive, Windows announced its removal, or its root is not found (no
// volume at the letter). Null while it is still there: a root or a file
// that fails to open with a time-out, "not ready" or no code on a drive
// still listed is not gone (a device that does not answer, before Windows
// gives it up).
const char* VolumeGone(DriveSystem& drives, char letter);

}  // namespace bootdrive
