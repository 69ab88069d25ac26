#include "FileNames.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char16_t EscapeBase = 0xDC00; // a lone byte b is held as U+DC00 + b (b >= 0x80)

void AppendUtf8(QByteArray& out, char32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

// Length of the valid UTF-8 sequence at `at` and its code point; 0 when the
// bytes there are no valid sequence (overlong forms and surrogates included).
int Utf8Sequence(const QByteArray& bytes, qsizetype at, char32_t& cp) {
    const auto byte = [&](qsizetype i) { return uchar(bytes.at(i)); };
    const uchar lead = byte(at);
    int length;
    char32_t min;
    if (lead < 0x80) {
        cp = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, min = 0x80, cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, min = 0x800, cp = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, min = 0x10000, cp = lead & 0x07;
    } else {
        return 0;
    }
    if (at + length > bytes.size())
        return 0;
    for (int i = 1; i < length; ++i) {
        const uchar c = byte(at + i);
        if ((c & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return length;
}

// The folder and the last part of a path, as bytes ("." for a bare name).
QByteArray FolderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
}

QByteArray LastPartOf(const QByteArray& path) {
    return path.mid(path.lastIndexOf('/') + 1);
}

// The path with symbolic links in its last part followed, also when the file
// they lead to does not exist (yet): writing through such a link creates it.
QByteArray FollowLinks(QByteArray path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info;
        if (::lstat(path.constData(), &info) != 0 || !S_ISLNK(info.st_mode))
            break;
        QByteArray target(qsizetype(info.st_size > 0 ? info.st_size : PATH_MAX), Qt::Uninitialized);
        const ssize_t length = ::readlink(path.constData(), target.data(), size_t(target.size()));
        if (length <= 0)
            break;
        target.truncate(length);
        path = target.startsWith('/') ? target : FolderOf(path) + '/' + target;
    }
    return path;
}

// Where a name leads: the folder (as a file of the system) and the name in it.
struct TPlace {
    dev_t device = 0;
    ino_t inode = 0;
    QByteArray name;
    bool valid = false;
    bool operator==(const TPlace& other) const {
        return valid && other.valid && device == other.device && inode == other.inode && name == other.name;
    }
};

TPlace PlaceOf(const QByteArray& path) {
    TPlace place;
    const QByteArray followed = FollowLinks(path);
    place.name = LastPartOf(followed);
    struct stat folder;
    if (place.name.isEmpty() || place.name == "." || place.name == ".." ||
        ::stat(FolderOf(followed).constData(), &folder) != 0)
        return place;
    place.device = folder.st_dev;
    place.inode = folder.st_ino;
    place.valid = true;
    return place;
}

bool WriteAll(int fd, const QByteArray& data) {
    const char* at = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, at, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = EIO;
            return false;
        }
        at += written;
        left -= written;
    }
    return true;
}

} // namespace

QByteArray EncodeFileName(const QString& name) {
    QByteArray out;
    out.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t u = name.at(i).unicode();
        if (QChar::isHighSurrogate(u) && i + 1 < name.size() &&
            QChar::isLowSurrogate(name.at(i + 1).unicode())) {
            AppendUtf8(out, QChar::surrogateToUcs4(u, name.at(i + 1).unicode()));
            ++i;
        } else if (u >= EscapeBase + 0x80 && u <= EscapeBase + 0xFF) {
            out += char(u - EscapeBase);
        } else if (QChar::isSurrogate(u)) {
            AppendUtf8(out, 0xFFFD); // a broken pair has no bytes of its own
        } else {
            AppendUtf8(out, u);
        }
    }
    return out;
}

QString DecodeFileName(const QByteArray& bytes) {
    QString out;
    out.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size();) {
        char32_t cp = 0;
        const int length = Utf8Sequence(bytes, i, cp);
        if (length == 0) {
            out += QChar(char16_t(EscapeBase + uchar(bytes.at(i))));
            ++i;
            continue;
        }
        if (QChar::requiresSurrogates(cp)) {
            out += QChar(QChar::highSurrogate(cp));
            out += QChar(QChar::lowSurrogate(cp));
        } else {
            out += QChar(char16_t(cp));
        }
        i += length;
    }
    return out;
}

bool FileNameExists(const QString& name) {
    struct stat info;
    return !name.isEmpty() && ::stat(EncodeFileName(name).constData(), &info) == 0;
}

bool CreateFolderPath(const QString& folder) {
    const QByteArray path = EncodeFileName(folder);
    if (path.isEmpty())
        return false;
    for (qsizetype slash = path.indexOf('/', 1); slash > 0; slash = path.indexOf('/', slash + 1))
        ::mkdir(path.left(slash).constData(), 0777);
    ::mkdir(path.constData(), 0777);
    struct stat info;
    return ::stat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool RenameFileName(const QString& from, const QString& to) {
    return ::rename(EncodeFileName(from).constData(), EncodeFileName(to).constData()) == 0;
}

bool RemoveFileName(const QString& name) {
    return ::unlink(EncodeFileName(name).constData()) == 0 || errno == ENOENT;
}

bool IsFolderName(const QString& name) {
    struct stat info;
    return !name.isEmpty() && ::stat(EncodeFileName(name).constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

QString FolderOfFileName(const QString& name) {
    const qsizetype slash = name.lastIndexOf(u'/');
    return slash < 0 ? QStringLiteral(".") : slash == 0 ? QStringLiteral("/") : name.left(slash);
}

bool IsRegularFileName(const QString& name) {
    struct stat info;
    return !name.isEmpty() && ::stat(EncodeFileName(name).constData(), &info) == 0 && S_ISREG(info.st_mode);
}

bool IsDatabaseOrCompanion(const QString& database, const QString& target) {
    const QByteArray targetPath = EncodeFileName(target);
    const QByteArray databasePath = EncodeFileName(database);
    if (targetPath.isEmpty() || databasePath.isEmpty())
        return false;
    struct stat targetInfo;
    const bool targetExists = ::stat(targetPath.constData(), &targetInfo) == 0;
    const TPlace targetPlace = PlaceOf(targetPath);
    // SQLite names the companions after the database as given and, where the
    // database is a link, after the file the link leads to.
    for (const QByteArray& base : {databasePath, FollowLinks(databasePath)}) {
        for (const char* suffix : {"", "-journal", "-wal", "-shm"}) {
            const QByteArray candidate = base + suffix;
            struct stat info;
            if (targetExists && ::stat(candidate.constData(), &info) == 0 &&
                info.st_dev == targetInfo.st_dev && info.st_ino == targetInfo.st_ino)
                return true;
            if (targetPlace == PlaceOf(candidate))
                return true;
        }
    }
    return false;
}

QString SystemErrorText(int error) {
    switch (error) {
    case ENOSPC:
        return QStringLiteral("auf dem Datenträger ist kein Platz mehr frei");
    case EDQUOT:
        return QStringLiteral("der zugeteilte Speicherplatz auf dem Datenträger ist erschöpft");
    case EFBIG:
        return QStringLiteral("die Datei überschreitet die erlaubte Größe");
    case EACCES:
    case EPERM:
        return QStringLiteral("die Berechtigung dafür fehlt");
    case EROFS:
        return QStringLiteral("der Datenträger ist schreibgeschützt");
    case ENOENT:
        return QStringLiteral("die Datei oder ihr Ordner existiert nicht");
    case ENOTDIR:
        return QStringLiteral("ein Teil des Pfads ist kein Ordner");
    case EISDIR:
        return QStringLiteral("das ist ein Ordner");
    case ENAMETOOLONG:
        return QStringLiteral("der Name ist zu lang");
    case ELOOP:
        return QStringLiteral("zu viele symbolische Verknüpfungen im Pfad");
    case EEXIST:
        return QStringLiteral("die Datei existiert bereits");
    case EBUSY:
    case ETXTBSY:
        return QStringLiteral("die Datei ist in Gebrauch");
    case EXDEV:
        return QStringLiteral("Quelle und Ziel liegen auf verschiedenen Datenträgern");
    case EIO:
        return QStringLiteral("der Datenträger meldet einen Lese- oder Schreibfehler");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("es sind zu viele Dateien geöffnet");
    case ENOMEM:
        return QStringLiteral("der Arbeitsspeicher reicht nicht aus");
    case EPIPE:
        return QStringLiteral("der Empfänger liest nicht mehr mit");
    default:
        return QStringLiteral("Systemfehler Nummer ") + QString::number(error);
    }
}

QString WriteWholeFile(const QString& file, const QByteArray& data) {
    const QByteArray path = EncodeFileName(file);
    auto failed = [&](int error) {
        return QStringLiteral("Die Datei \"") + file +
               QStringLiteral("\" konnte nicht geschrieben werden: ") + SystemErrorText(error) + u'.';
    };
    if (path.isEmpty())
        return failed(ENOENT);
    struct stat existing;
    const bool exists = ::stat(path.constData(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode))
        return failed(EISDIR);
    if (exists && !S_ISREG(existing.st_mode)) {
        // A device or a pipe cannot be replaced, only written.
        const int fd = ::open(path.constData(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
        if (fd < 0)
            return failed(errno);
        const bool ok = WriteAll(fd, data);
        const int error = errno;
        if (::close(fd) != 0 && ok)
            return failed(errno);
        return ok ? QString() : failed(error);
    }
    const QByteArray target = FollowLinks(path);
    QByteArray temporary = FolderOf(target) + "/." + LastPartOf(target) + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return failed(errno);
    // The new file gets the rights of the one it replaces, a new one the usual rights.
    mode_t mode = existing.st_mode & 07777;
    if (!exists) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    bool ok = ::fchmod(fd, mode) == 0 && WriteAll(fd, data) && ::fsync(fd) == 0;
    int error = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && ::rename(temporary.constData(), target.constData()) != 0) {
        ok = false;
        error = errno;
    }
    if (ok)
        return QString();
    ::unlink(temporary.constData());
    return failed(error);
}
