#pragma once

#include <map>
#include <string>

#include "mainwindow/Controls.h"

namespace velum {

// The drive list and the folder list kept on one volume, with the folder last shown on each
// volume in this run.
class FolderBrowser {
  public:
    FolderBrowser(DriveListBox& drives, DirListBox& folders) : drives_(drives), folders_(folders) {}
    FolderBrowser(const FolderBrowser&) = delete;
    FolderBrowser& operator=(const FolderBrowser&) = delete;

    // Lists the volumes and shows `folder`; an unreadable one leaves the lists empty.
    void Start(const std::string& folder);
    // A volume was chosen: the folder last shown on it, or its mount point when that folder is
    // gone or unreadable; an unreadable volume puts the drive list back.
    void DriveChosen();
    // Shows the folder of the file `path`, the drive list following it; a path that names no
    // volume, or a folder that is gone, leaves both lists where they were.
    void ShowFolderOf(const std::string& path);

  private:
    // Shows a volume in the drive list without moving the folder list.
    void SetDriveQuietly(const std::string& volume);
    void RememberFolder(const std::string& folder);

    DriveListBox& drives_;
    DirListBox& folders_;
    bool quiet_ = false;
    std::map<std::string, std::string> lastFolderOnVolume_;
};

} // namespace velum
