#include "package/image_check.h"

#include "package/srecord_check.h"

namespace package {

ImageVerdict CheckImage(ImageFiles& files, const std::string& path) {
    SRecordCheck check;
    ImageVerdict verdict;
    if (auto trouble = files.read(path, [&check](std::string_view piece) { return check.feed(piece); })) {
        verdict.trouble = ImageTrouble{ImageTrouble::Kind::Unreadable, std::move(trouble->reason)};
        return verdict;
    }
    verdict.checked = check.checked();
    if (const auto fault = check.finish()) verdict.trouble = ImageTrouble{ImageTrouble::Kind::Damaged, Described(*fault)};
    return verdict;
}

}  // namespace package
