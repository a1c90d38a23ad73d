// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/widgets/qt_file_dialog.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>

namespace sorabune {

void QtFileDialog::showOpen()
{
    // Modal over whichever window asked, which is the one the user clicked in.
    QFileDialog dialog(QApplication::activeWindow());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(QStringLiteral("midi(*.mid)"));
    // Qt already leaves out QDir::CaseSensitive; the pattern must stay that way.
    dialog.setFilter(dialog.filter() & ~QDir::Filters(QDir::CaseSensitive));
    m_fileName.clear();
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        m_fileName = dialog.selectedFiles().constFirst().toStdString();
}

std::string QtFileDialog::fileName() const
{
    return m_fileName;
}

} // namespace sorabune
