#include "remote/RemoteToken.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <array>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint64 kMaxFileSize = 4096;

QString SystemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// A descriptor closed when it goes out of scope.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

bool IsTokenText(QByteArrayView token) {
    return std::all_of(token.begin(), token.end(), [](char c) { return c > 0x20 && c < 0x7F; });
}

// Every missing folder on the way is made readable by its owner only, as the folders of a
// user's configuration should be.
bool MakeFolders(const QString& folder, QString& reason) {
    struct stat info {};
    if (::lstat(QFile::encodeName(folder).constData(), &info) == 0) {
        return true;  // whatever it is, CheckFolder judges it
    }
    const QString parent = QFileInfo(folder).path();
    if (parent != folder && !MakeFolders(parent, reason)) {
        return false;
    }
    if (::mkdir(QFile::encodeName(folder).constData(), 0700) != 0 && errno != EEXIST) {
        reason = QStringLiteral("cannot create the folder %1: %2").arg(folder, SystemError(errno));
        return false;
    }
    return true;
}

bool CreateTokenFile(const QString& path, QString& reason) {
    std::array<quint32, RemoteToken::kRandomBytes / 4> random{};
    QRandomGenerator::system()->fillRange(random.data(), random.size());
    const QByteArray token =
        QByteArray(reinterpret_cast<const char*>(random.data()), RemoteToken::kRandomBytes)
            .toHex() +
        '\n';
    // Created with its final mode, so there is no moment in which others could read it; a file
    // that appeared meanwhile (another start) is left as it is and read.
    const Fd fd(::open(QFile::encodeName(path).constData(),
                       O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (fd.get() < 0) {
        if (errno == EEXIST) {
            return true;
        }
        reason = QStringLiteral("cannot create %1: %2").arg(path, SystemError(errno));
        return false;
    }
    if (::fchmod(fd.get(), 0600) != 0 ||
        ::write(fd.get(), token.constData(), static_cast<size_t>(token.size())) != token.size() ||
        ::fsync(fd.get()) != 0) {
        reason = QStringLiteral("cannot write %1: %2").arg(path, SystemError(errno));
        ::unlink(QFile::encodeName(path).constData());
        return false;
    }
    return true;
}

}  // namespace

namespace RemoteToken {

QString DefaultPath() {
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!QDir::isAbsolutePath(config)) {
        config = QDir::home().filePath(QStringLiteral(".config"));
    }
    return QDir(config).filePath(QStringLiteral("orvane/remote-token"));
}

std::optional<QByteArray> Read(const QString& path, QString& reason) {
    // O_NONBLOCK: opening a FIFO would otherwise wait for a writer, for ever.
    const Fd fd(::open(QFile::encodeName(path).constData(),
                       O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) {
        reason = errno == ELOOP
                     ? QStringLiteral("%1 is a symbolic link; the token must be a file of its own")
                           .arg(path)
                     : QStringLiteral("cannot read %1: %2").arg(path, SystemError(errno));
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        reason = QStringLiteral("%1 is not a regular file").arg(path);
        return std::nullopt;
    }
    if (info.st_uid != ::geteuid()) {
        reason = QStringLiteral("%1 belongs to another user (uid %2)").arg(path).arg(info.st_uid);
        return std::nullopt;
    }
    if ((info.st_mode & 077) != 0) {
        reason = QStringLiteral(
                     "%1 may be read or written by others (mode %2); make it private with "
                     "'chmod 600 %1'")
                     .arg(path)
                     .arg(info.st_mode & 0777, 4, 8, QLatin1Char('0'));
        return std::nullopt;
    }
    QByteArray text(kMaxFileSize, Qt::Uninitialized);
    const ssize_t n = ::read(fd.get(), text.data(), static_cast<size_t>(text.size()));
    if (n < 0) {
        reason = QStringLiteral("cannot read %1: %2").arg(path, SystemError(errno));
        return std::nullopt;
    }
    text.truncate(n);
    const QByteArray token = text.trimmed();
    if (token.size() < kMinLength || !IsTokenText(token)) {
        reason =
            QStringLiteral("%1 does not hold a token of at least %2 visible characters on one line")
                .arg(path)
                .arg(kMinLength);
        return std::nullopt;
    }
    return token;
}

bool CheckFolder(const QString& folder, QString& reason) {
    struct stat info {};
    if (::lstat(QFile::encodeName(folder).constData(), &info) != 0) {
        reason = QStringLiteral("cannot use the folder %1: %2").arg(folder, SystemError(errno));
        return false;
    }
    if (S_ISLNK(info.st_mode)) {
        reason = QStringLiteral("the folder %1 is a symbolic link; it must be a folder of its own")
                     .arg(folder);
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        reason = QStringLiteral("%1 is not a folder").arg(folder);
        return false;
    }
    if (info.st_uid != ::geteuid()) {
        reason = QStringLiteral("the folder %1 belongs to another user (uid %2)")
                     .arg(folder)
                     .arg(info.st_uid);
        return false;
    }
    if ((info.st_mode & 077) != 0) {
        reason = QStringLiteral(
                     "the folder %1 is open to others (mode %2); make it private with "
                     "'chmod 700 %1'")
                     .arg(folder)
                     .arg(info.st_mode & 0777, 4, 8, QLatin1Char('0'));
        return false;
    }
    return true;
}

std::optional<QByteArray> ReadInPrivateFolder(const QString& path, QString& reason) {
    if (!CheckFolder(QFileInfo(path).path(), reason)) {
        return std::nullopt;
    }
    return Read(path, reason);
}

std::optional<QByteArray> ReadOrCreate(const QString& path, QString& reason) {
    const QString folder = QFileInfo(path).path();
    if (!MakeFolders(folder, reason) || !CheckFolder(folder, reason)) {
        return std::nullopt;
    }
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0 && errno == ENOENT &&
        !CreateTokenFile(path, reason)) {
        return std::nullopt;
    }
    return Read(path, reason);
}

std::optional<QByteArray> Renew(const QString& path, QString& reason) {
    if (!CheckFolder(QFileInfo(path).path(), reason)) {
        return std::nullopt;
    }
    // Written beside it and renamed over it: a reader finds the old token or the new one, never
    // half of one, and a failed write leaves the old token in force.
    const QString fresh = path + QStringLiteral(".new");
    ::unlink(QFile::encodeName(fresh).constData());
    if (!CreateTokenFile(fresh, reason)) {
        return std::nullopt;
    }
    if (::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(path).constData()) != 0) {
        reason = QStringLiteral("cannot replace %1: %2").arg(path, SystemError(errno));
        ::unlink(QFile::encodeName(fresh).constData());
        return std::nullopt;
    }
    return Read(path, reason);
}

bool Matches(QByteArrayView presented, QByteArrayView expected) {
    // Both sides are hashed first: the comparison then always runs over the same number of bytes,
    // whatever the lengths, and an early difference ends nothing early.
    const QByteArray a = QCryptographicHash::hash(presented, QCryptographicHash::Sha256);
    const QByteArray b = QCryptographicHash::hash(expected, QCryptographicHash::Sha256);
    unsigned difference = 0;
    for (qsizetype i = 0; i < a.size(); ++i) {
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    }
    return difference == 0 && !expected.isEmpty();
}

}  // namespace RemoteToken
