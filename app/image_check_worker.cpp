#include "app/image_check_worker.h"

namespace app {

void ImageCheckWorker::start(package::ImageFiles& files, const std::string& path,
                             const bootdrive::WorkerLauncher& launch) {
    if (shared_) return;
    auto shared = std::make_shared<Shared>();
    launch([shared, &files, path] {
        shared->verdict = package::CheckImage(files, path);
        shared->done.store(true, std::memory_order_release);
    });
    shared_ = std::move(shared);  // a thread the system refused starts nothing
}

}  // namespace app
