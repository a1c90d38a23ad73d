// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace sorabune::testing {

// tests/support/private_logind.py as a child process: a private system bus with
// a mock logind, driven through the script's standard input.
class PrivateLogindProcess {
public:
    ~PrivateLogindProcess()
    {
        m_process.closeWriteChannel(); // the script stops the mock and the bus at end of input
        if (!m_process.waitForFinished(15000))
            m_process.kill();
    }

    // The bus address, or an empty text when the bus did not come up.
    QString start()
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(SORABUNE_PRIVATE_LOGIND)});
        const QStringList first = readLines(1);
        return first.isEmpty() ? QString() : first.first();
    }

    // Sends one command and returns its answer without the closing "ok" or "end".
    QStringList command(const QString &line)
    {
        m_process.write((line + QLatin1Char('\n')).toUtf8());
        QStringList answer = readLines(-1);
        if (!answer.isEmpty())
            answer.removeLast();
        return answer;
    }

private:
    // Reads `count` lines, or with -1 up to and including "ok" or "end".
    QStringList readLines(int count)
    {
        QStringList lines;
        while (lines.size() != count) {
            if (!m_process.canReadLine() && !m_process.waitForReadyRead(30000))
                return {};
            while (m_process.canReadLine() && lines.size() != count) {
                lines << QString::fromUtf8(m_process.readLine()).trimmed();
                if (count < 0 && (lines.last() == QLatin1String("ok") || lines.last() == QLatin1String("end")))
                    return lines;
            }
        }
        return lines;
    }

    QProcess m_process;
};

} // namespace sorabune::testing
