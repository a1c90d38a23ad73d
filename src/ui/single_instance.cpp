// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/single_instance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sorabune {

namespace {

// A folder of this user's that this user can write. Anyone else's could hold a
// planted lock and keep the program from ever starting.
bool ownFolder(const QString &folder)
{
    const QFileInfo info(folder);
    return !folder.isEmpty() && info.isDir() && info.isWritable() && info.ownerId() == getuid();
}

} // namespace

QString SingleInstance::lockFolder()
{
    // What QStandardPaths::RuntimeLocation names on Linux, read directly: Qt would
    // make up, create or chmod a folder when this one is unset or unfit, and say
    // so on stderr.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (ownFolder(runtime))
        return runtime;
    const QString fallback = QDir::tempPath() + QStringLiteral("/sorabune-") + QString::number(getuid());
    ::mkdir(QFile::encodeName(fallback).constData(), 0700);
    return ownFolder(fallback) ? fallback : QString();
}

SingleInstance::SingleInstance()
{
    // Without a folder of our own this copy runs unguarded rather than not at all.
    const QString folder = lockFolder();
    if (folder.isEmpty())
        return;
    // Never removed: a copy that opened the file just before a removal would lock
    // one that the next copy no longer finds.
    m_fd = ::open(
        QFile::encodeName(folder + QStringLiteral("/sorabune.lock")).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    // flock, not fcntl: a flock belongs to the open file, so that two locks in one
    // process exclude each other as well. Only a lock held by another copy ends
    // this one; failing to make one does not.
    m_previous = m_fd >= 0 && ::flock(m_fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
}

SingleInstance::~SingleInstance()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

} // namespace sorabune
