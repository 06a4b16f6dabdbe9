// The check of the firmware image's content, on a thread of its own, so
// that the window comes up without waiting for a read of the whole image.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "bootdrive/Copyfilethread.h"
#include "package/image_check.h"

namespace app {

class ImageCheckWorker {
public:
    // Starts the check of the image at `path`, read through `files`, which
    // must live as long as the thread; checks it at once when the system
    // refuses the thread. Only the first call starts one.
    void start(package::ImageFiles& files, const std::string& path, const bootdrive::WorkerLauncher& launch);
    bool started() const { return shared_ != nullptr; }
    // The verdict is in.
    bool done() const { return shared_ && shared_->done.load(std::memory_order_acquire); }
    // Only once done().
    const package::ImageVerdict& verdict() const { return shared_->verdict; }

private:
    // Shared with the thread, which may outlive the window.
    struct Shared {
        package::ImageVerdict verdict;
        std::atomic<bool> done{false};
    };
    std::shared_ptr<Shared> shared_;
};

}  // namespace app
