#pragma once
// The "drives" of the chooser's drive list: on Linux, the mounted file
// systems a user would pick a picture from.

#include <string>
#include <string_view>
#include <vector>

namespace vantoria {

// The mount points listed in `mountinfo` (the format of
// /proc/self/mountinfo), the root first, then the others in byte order,
// each once. Left out: kernel and memory file systems (proc, sysfs, tmpfs,
// cgroup, ...), read-only package images (squashfs), and mounts below
// /proc, /sys, /dev, /run (except /run/media, where removable media go),
// /boot, /snap and /var/lib.
std::vector<std::string> DrivesFromMountInfo(std::string_view mountinfo);

// The same for this process's mounts, folders only; just the root when they
// cannot be read.
std::vector<std::string> ListDrives();

// The drive holding `folder` (an absolute path): the longest mount point of
// `drives` that is `folder` or one of its parents; "/" when none is.
std::string DriveOf(const std::string& folder, const std::vector<std::string>& drives);

}  // namespace vantoria
