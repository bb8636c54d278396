// A build without photo input: only frame-size bitmaps, which need no decoder.
#include "common/Errors.h"
#include "photos/PhotoDecoder.h"

namespace host {

bool ReadsPhotos() { return false; }

std::unique_ptr<CPhotoDecoder> OpenPhoto(const std::string& path) {
    throw CHostError(path + ": this build of kavrel-host reads no photo files");
}

void RequireWorkingProfile(const std::string& path) {
    throw CHostError(path + ": this build of kavrel-host converts no colours (--working-profile)");
}

void WritePng(const std::string& path, const CPicture&) {
    throw CHostError(path +
                     ": this build of kavrel-host writes no PNG files (it was built "
                     "without photo input)");
}

}  // namespace host
