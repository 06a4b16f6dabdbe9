// Placeholder until the copy worker lands.
#include "bootdrive/Copyfilethread.h"

namespace bootdrive {
char FirmwareImagePath[256];
char FirmwareTargetPath[256];
std::atomic<int32_t> CopyProgressPercent{0};
struct CopyFileThread::State {};
CopyFileThread::CopyFileThread(FileCopier&) : state_(std::make_shared<State>()) {}
CopyFileThread::~CopyFileThread() = default;
void CopyFileThread::Resume() {}
}  // namespace bootdrive
