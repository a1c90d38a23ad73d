// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/single_instance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

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
    m_lock = std::make_unique<QLockFile>(folder + QStringLiteral("/sorabune.lock"));
    // Qt's stale-lock rules as they are: the lock of a copy that died is taken over
    // at once (its process is gone), one left empty by a copy killed while making it
    // after 30 s, and a live copy keeps its lock however old (Qt holds a flock on it).
    // Only a lock held by another copy ends this one; failing to make one does not.
    m_previous = !m_lock->tryLock(0) && m_lock->error() == QLockFile::LockFailedError;
}

} // namespace sorabune
