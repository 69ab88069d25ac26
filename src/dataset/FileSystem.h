// On which kind of file system a file lies. A SQLite database must not lie on
// a network file system: the locks that keep two programs from writing at the
// same time are unreliable there, so the file can be corrupted and numbers
// drawn twice.
#pragma once

#include <QString>

// The kernel's name of the file system `path` (a file or folder, which need not
// exist yet) lies on: "ext4", "nfs4", "cifs", "fuse.sshfs"; empty when it
// cannot be found. The environment variable QUORVENT_DATEISYSTEM, when set,
// is taken instead (to try the warning without a network share).
QString FileSystemType(const QString& path);

// The type of the file system under `path` from the text of
// /proc/self/mountinfo: the mount with the longest mount point that contains
// the path. Empty when none does.
QString FileSystemTypeFromMountInfo(const QString& mountInfo, const QString& path);

// A readable name ("SMB/CIFS", "NFS", "SSHFS") when `type` is a network file
// system; empty for a local one.
QString NetworkFileSystemName(const QString& type);
