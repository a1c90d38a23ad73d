// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

namespace sorabune {

// SIGTERM, SIGINT and SIGHUP, turned into a Qt signal on the event thread (the
// self-pipe trick: the handler only writes a byte), so that they unload the
// window like its close box does instead of killing the process mid-tune.
class TerminationSignals final : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

signals:
    void received();

private:
    void drain();

    int m_readFd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace sorabune
