// SPDX-License-Identifier: GPL-3.0-or-later
#include "alarm/alarm.h"
#include "platform/boot_time_clock.h"
#include "platform/desktop/logind_power_switch.h"
#include "platform/desktop/session_suspend_inhibitor.h"
#include "platform/desktop/system_beeper.h"
#include "platform/media/media_command_interpreter.h"
#include "platform/widgets/qt_file_dialog.h"
#include "platform/widgets/qt_translations.h"
#include "ui/application_setup.h"
#include "ui/display_choice.h"
#include "ui/form1.h"
#include "ui/single_instance.h"
#include "ui/termination_signals.h"

#include <QApplication>
#include <QFile>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace {

// Builds the real services and the window, then runs the event loop. Nothing
// heavy happens here: FluidSynth, the soundfont and the file's instruments
// load in the last seconds before a MIDI alarm and go after it, the audio
// output opens at the tune, the session bus is reached at the first start and
// the system bus at power-off only.
int run(int argc, char *argv[])
{
    const sorabune::DisplayChoice display = sorabune::chooseDisplay();
    if (!display.problem.empty()) {
        std::fprintf(stderr, "%s\n", display.problem.c_str());
        return 1;
    }
    if (!display.platform.empty())
        qputenv("QT_QPA_PLATFORM", QByteArray::fromStdString(display.platform));
    sorabune::setUpApplication();
    std::optional<sorabune::PlatformStartGuard> platformStart(std::in_place);
    QApplication app(argc, argv);
    platformStart.reset();
    const std::unique_ptr<QTranslator> qtTranslations = sorabune::installQtTranslations();
    sorabune::TerminationSignals terminationSignals;

    sorabune::BootTimeClock clock;
    sorabune::MediaCommandInterpreter media(
        QFile::encodeName(QCoreApplication::applicationDirPath() + QStringLiteral("/" SORABUNE_MIDI_MODULE))
            .toStdString());
    sorabune::SystemBeeper beeper;
    // The session and system buses are spoken to in the order asked: the end of
    // an inhibition goes out before the power-off that follows it.
    const sorabune::SerialWorker desktopBuses;
    sorabune::SessionSuspendInhibitor awake(
        QGuiApplication::desktopFileName().toStdString(), std::string(sorabune::kAwakeReason), desktopBuses);
    sorabune::LogindPowerSwitch powerSwitch(sorabune::LogindPowerSwitch::kDefaultTimeout, desktopBuses);
    sorabune::Alarm alarm(media, beeper, powerSwitch);
    sorabune::QtFileDialog fileDialog;
    sorabune::Form1 form(clock, alarm, awake, fileDialog);
    QObject::connect(
        &form, &sorabune::Form1::midiAlarmNear, &form, [&media](const std::string &path) { media.prepare(path); });

    const sorabune::SingleInstance instance;
    if (!form.Load(instance.previousInstance()))
        return 0;
    QObject::connect(&terminationSignals, &sorabune::TerminationSignals::received, &form, [&form] {
        form.close();
        QApplication::quit(); // also ends the file dialog, should one be open
    });
    form.show();
    return QApplication::exec();
}

} // namespace

int main(int argc, char *argv[])
{
    const int status = run(argc, argv);
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizer build looks for leaks here, once everything of ours is gone,
    // not in exit(): there a static destructor stops the D-Bus thread that Qt's
    // accessibility bridge started, and on a busy machine the check can catch
    // that thread after its wait() returned but before it freed its own data,
    // a leak report that ends the program with status 1.
    __lsan_do_leak_check();
#endif
    return status;
}
