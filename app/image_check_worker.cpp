#include "app/image_check_worker.h"

#include <exception>

namespace app {

void ImageCheckWorker::start(package::ImageFiles& files, const std::string& path,
                             const bootdrive::WorkerLauncher& launch) {
    if (shared_) return;
    auto shared = std::make_shared<Shared>();
    const auto check = [shared, &files, path] {
        shared->verdict = package::CheckImage(files, path);
        shared->done.store(true, std::memory_order_release);
    };
    // Without a thread of its own, the check runs here: an image is never
    // copied unchecked.
    try {
        launch(check);
    } catch (const std::exception&) {
        check();
    }
    shared_ = std::move(shared);
}

}  // namespace app
