#include "bootdrive/file_copier_win.h"

#include "bootdrive/Copyfilethread.h"
#include "bootdrive/copy_progress.h"

namespace bootdrive {

DWORD CALLBACK ReportCopyProgress(LARGE_INTEGER totalFileSize, LARGE_INTEGER totalBytesTransferred,
                                  LARGE_INTEGER, LARGE_INTEGER, DWORD, DWORD, HANDLE, HANDLE,
                                  LPVOID) {
    PublishCopyProgress(static_cast<uint64_t>(totalFileSize.QuadPart),
                        static_cast<uint64_t>(totalBytesTransferred.QuadPart));
    return PROGRESS_CONTINUE;
}

namespace {

class SystemFileCopier final : public FileCopier {
public:
    bool copyFile(const char* from, const char* to) override {
        return CopyFileExA(from, to, ReportCopyProgress, nullptr, nullptr, 0) != FALSE;
    }
    void nameThisThread(const char* name) override { NameCurrentThreadForDebuggers(name); }
};

}  // namespace

std::unique_ptr<FileCopier> makeSystemFileCopier() { return std::make_unique<SystemFileCopier>(); }

}  // namespace bootdrive
