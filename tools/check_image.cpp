// Checks a firmware image as the wizard does before it copies one: exits 0
// when it may be copied (its S-records hold, or it is no S-record text),
// and 1, naming its first failing line, when it may not. The release is
// packed only with an image that passes.
//   check_image IMAGE
#include <cstdio>

#include "package/image_check.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: check_image IMAGE\n");
        return 2;
    }
    const package::ImageVerdict verdict = package::CheckImage(package::StandardImageFiles(), argv[1]);
    if (verdict.trouble) {
        std::fprintf(stderr, "%s: %s %s\n", argv[1],
                     verdict.trouble->kind == package::ImageTrouble::Kind::Damaged ? "damaged at" : "cannot be read:",
                     verdict.trouble->reason.c_str());
        return 1;
    }
    std::printf("%s: %s\n", argv[1], verdict.checked ? "its S-records hold" : "no S-records: not checked");
    return 0;
}
