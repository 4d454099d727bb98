// The simulated USB key: the content of partition <root>/dev/<name> is the
// folder <root>/sim/usb/<name>; mounting copies it into the mount folder and
// adds a line to <root>/proc/mounts, unmounting empties the folder and takes
// the line out. /proc/mounts shows the device's paths, as the device's
// kernel would. Used by the program (mount(2)) and by the mount and umount
// stand-ins alike; the stand-ins run in the sandbox, where "/" is the root,
// and pass root "".
#pragma once

#include <string>
#include <vector>

namespace board::sim {

// dev and dir are paths inside root: 0, ENODEV or EBUSY or EIO.
int mountKey(const std::string& root, const std::string& dev, const std::string& dir, const std::string& type,
             const std::string& options);
// Unmounts every mount whose device or folder is one of targets (paths
// inside root): true when one was found.
bool unmountKeys(const std::string& root, const std::vector<std::string>& targets);

// Plugging a key in: its partition's content is a copy of folder; the disk
// and partition lines are added to <root>/proc/partitions first, then the
// nodes <root>/dev/<disk> and <root>/dev/<disk>1 appear, as a kernel makes
// them. Pulling it out takes the nodes, the lines and the content away; a
// mount of it stays until someone unmounts it, with its files gone. Disk
// names are sdb to sdz.
// Both return "" or why they failed.
std::string insertKey(const std::string& root, const std::string& disk, const std::string& folder);
std::string removeKey(const std::string& root, const std::string& disk);

// "usb insert DISK FOLDER" and "usb remove DISK" on the control socket.
void registerUsbControl();

}  // namespace board::sim
