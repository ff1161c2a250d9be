#include "mainwindow/FolderBrowser.h"

#include "common/Files.h"
#include "common/Folders.h"
#include "common/IoFailure.h"

namespace velum {

void FolderBrowser::Start(const std::string& folder) {
    drives_.volumes = ListVolumes();
    SetDriveQuietly(VolumeOf(folder, drives_.volumes)); // the start folder, not the volume's root
    try {
        folders_.SetPath(folder);
    } catch (const IoFailure&) {
        // An unreadable start folder leaves the lists empty.
    }
}

void FolderBrowser::DriveChosen() {
    if (quiet_)
        return;
    const std::string previous = folders_.Path();
    RememberFolder(previous);
    auto last = lastFolderOnVolume_.find(drives_.Drive());
    if (last != lastFolderOnVolume_.end()) {
        try {
            folders_.SetPath(last->second);
            return;
        } catch (const IoFailure&) {
            lastFolderOnVolume_.erase(last); // gone or unreadable: the mount point next
        }
    }
    try {
        folders_.SetPath(drives_.Drive());
    } catch (const IoFailure&) {
        // An unreadable volume puts the drive list back, once.
        SetDriveQuietly(VolumeOf(previous, drives_.volumes));
    }
}

void FolderBrowser::ShowFolderOf(const std::string& path) {
    const std::size_t p = path.rfind(PathSeparator());
    const std::string folder = p == std::string::npos ? std::string() : path.substr(0, p + 1);
    if (!IsVolumeQualified(folder))
        return;
    const std::string normal = NormalizeFolder(folder);
    const std::string previous = folders_.Path();
    try {
        folders_.SetPath(normal);
    } catch (const IoFailure&) {
        return; // a folder that is gone leaves the browser where it was
    }
    // The drive list follows the folder shown, so the two always name one volume.
    RememberFolder(previous);
    SetDriveQuietly(VolumeOf(normal, drives_.volumes));
}

void FolderBrowser::SetDriveQuietly(const std::string& volume) {
    quiet_ = true;
    drives_.SetDrive(volume);
    quiet_ = false;
}

void FolderBrowser::RememberFolder(const std::string& folder) {
    if (!folder.empty())
        lastFolderOnVolume_[VolumeOf(folder, drives_.volumes)] = folder;
}

} // namespace velum
