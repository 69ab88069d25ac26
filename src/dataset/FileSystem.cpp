#include "FileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <sys/vfs.h>

namespace {

// A mount point in mountinfo writes blanks, tabs, line breaks and backslashes
// as octal escapes.
QString Unescape(const QString& field) {
    QString out;
    out.reserve(field.size());
    for (int i = 0; i < field.size(); ++i) {
        if (field[i] == u'\\' && i + 3 < field.size() && field.mid(i + 1, 3).toInt(nullptr, 8) > 0) {
            out += QChar(field.mid(i + 1, 3).toInt(nullptr, 8));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

// The nearest folder of `path` that exists, made absolute with its links resolved.
QString ExistingFolder(const QString& path) {
    QFileInfo info(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    while (!info.exists() && info.absoluteFilePath() != QDir::rootPath())
        info = QFileInfo(info.absolutePath());
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

bool Contains(const QString& mountPoint, const QString& path) {
    if (mountPoint == QLatin1String("/"))
        return true;
    return path == mountPoint || path.startsWith(mountPoint + u'/');
}

// Without /proc the file system's magic number still tells the common network kinds.
QString TypeFromStatfs(const QString& folder) {
    struct statfs s {};
    if (statfs(QFile::encodeName(folder).constData(), &s) != 0)
        return QString();
    switch (static_cast<unsigned long>(s.f_type)) {
    case 0x6969UL:
        return QStringLiteral("nfs");
    case 0xFF534D42UL:
        return QStringLiteral("cifs");
    case 0xFE534D42UL:
        return QStringLiteral("smb3");
    case 0x517BUL:
        return QStringLiteral("smbfs");
    case 0x65735546UL:
        return QStringLiteral("fuse");
    default:
        return QString();
    }
}

} // namespace

QString FileSystemTypeFromMountInfo(const QString& mountInfo, const QString& path) {
    QString best, type;
    for (const QString& line : mountInfo.split(u'\n', Qt::SkipEmptyParts)) {
        // "36 35 98:0 /root /mnt/data rw,noatime master:1 - ext3 /dev/root rw": the
        // fifth field is the mount point, the first after " - " the type.
        const QStringList fields = line.split(u' ', Qt::SkipEmptyParts);
        const int dash = int(fields.indexOf(QStringLiteral("-")));
        if (fields.size() < 5 || dash < 5 || dash + 1 >= fields.size())
            continue;
        const QString mountPoint = Unescape(fields[4]);
        // A later mount over the same point hides the earlier one: ">=" keeps the last.
        if (Contains(mountPoint, path) && mountPoint.size() >= best.size()) {
            best = mountPoint;
            type = fields[dash + 1];
        }
    }
    return type;
}

QString FileSystemType(const QString& path) {
    const QString forced = qEnvironmentVariable("QUORVENT_DATEISYSTEM").trimmed();
    if (!forced.isEmpty())
        return forced;
    const QString folder = ExistingFolder(path);
    QFile mountInfo(QStringLiteral("/proc/self/mountinfo"));
    if (mountInfo.open(QIODevice::ReadOnly)) {
        const QString type = FileSystemTypeFromMountInfo(QString::fromUtf8(mountInfo.readAll()), folder);
        if (!type.isEmpty())
            return type;
    }
    return TypeFromStatfs(folder);
}

QString NetworkFileSystemName(const QString& type) {
    const QString t = type.trimmed().toLower();
    static const struct {
        const char* Type;
        const char* Name;
    } kNetz[] = {
        {"cifs", "SMB/CIFS"},
        {"smb3", "SMB/CIFS"},
        {"smbfs", "SMB/CIFS"},
        {"smb2", "SMB/CIFS"},
        {"nfs", "NFS"},
        {"nfs4", "NFS"},
        {"9p", "9P"},
        {"afs", "AFS"},
        {"ncpfs", "NetWare"},
        {"ceph", "Ceph"},
        {"glusterfs", "GlusterFS"},
        {"fuse.glusterfs", "GlusterFS"},
        {"lustre", "Lustre"},
        {"gfs2", "GFS2"},
        {"ocfs2", "OCFS2"},
        {"davfs", "WebDAV"},
        {"fuse.davfs2", "WebDAV"},
        {"fuse.sshfs", "SSHFS"},
        {"fuse.gvfsd-fuse", "GVfs-Netzwerkfreigabe"},
        {"fuse.rclone", "rclone"},
        {"fuse.s3fs", "S3"},
        // FUSE without a subtype (from the magic number alone) may be anything; it is
        // named so the user can judge.
        {"fuse", "FUSE"},
    };
    for (const auto& n : kNetz)
        if (t == QLatin1String(n.Type))
            return QString::fromLatin1(n.Name);
    return QString();
}
