#include "exposure/ExposureImage.h"

#include <filesystem>
#include <random>

#include "common/Errors.h"
#include "exposure/ExposureFiles.h"
#include "files/FileRequirements.h"
#include "files/Paths.h"
#include "photos/PhotoDecoder.h"

namespace host {

namespace {

// A new folder of the temporary folder that only this user can enter: the prepared bitmap's name
// cannot be taken or linked elsewhere by another user beforehand.
std::string MakePrivateFolder() {
    std::random_device random;
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 16; ++attempt) {
        const std::filesystem::path folder =
            base / ("kavrel-photo-" + std::to_string(random()) + std::to_string(random()));
        std::error_code error;
        if (!std::filesystem::create_directory(folder, error)) continue;
        std::filesystem::permissions(folder, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::replace, error);
        return NarrowPath(folder);
    }
    throw CHostError(NarrowPath(base) + ": cannot make a folder there for the prepared image");
}

}  // namespace

void RequireFrameBitmap(const std::string& path) {
    RequireFile(path, "image");
    try {
        CheckImage(path);
    } catch (const CHostError& e) {
        throw CHostError(std::string(e.what()) +
                         " (this build of kavrel-host reads no other image files: it was built "
                         "without photo input)");
    }
}

CExposureImage::CExposureImage(const std::string& path, const CPhotoOptions& options) {
    if (!ReadsPhotos()) RequireFrameBitmap(path);
    CPreparedPhoto photo = PreparePhoto(path, options);
    m_Report = std::move(photo.report);
    if (photo.passedThrough) {
        // Checked as every frame-size bitmap always was: complete, stored bottom-up.
        CheckImage(path);
        m_strLibraryFile = path;
        return;
    }
    m_strFolder = MakePrivateFolder();
    m_strLibraryFile = PathInFolder(m_strFolder, "image.bmp");
    WriteBitmap(m_strLibraryFile, photo.frame);
}

CExposureImage::~CExposureImage() {
    if (m_strFolder.empty()) return;
    std::error_code error;
    std::filesystem::remove_all(FsPath(m_strFolder), error);
}

}  // namespace host
