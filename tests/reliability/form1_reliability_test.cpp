// SPDX-License-Identifier: GPL-3.0-or-later
#include "alarm/alarm.h"
#include "platform/media/fluidsynth/fluid_midi_device.h"
#include "platform/media/media_command_interpreter.h"
#include "ui/application_setup.h"
#include "ui/form1.h"

#include "fakes/fake_clock.h"
#include "fakes/fake_suspend_inhibitor.h"
#include "fakes/recording_beeper.h"
#include "fakes/recording_power_switch.h"
#include "fakes/scripted_file_dialog.h"
#include "support/form1_driver.h"
#include "support/installed_soundfonts.h"
#include "support/manual_audio_output.h"
#include "support/midi_file_builder.h"
#include "support/scratch_directory.h"
#include "support/thread_count.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QTimerEvent>
#include <QtTest>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
// From the sanitizer runtime's public interface; GCC installs no header for it.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

using namespace sorabune;
using testing::ManualOutputControl;

Q_DECLARE_METATYPE(std::function<void(const std::filesystem::path &)>)

namespace {

using Mutation = std::function<void(const std::filesystem::path &)>;

// "Does not hang": far above a tick on a loaded machine under the sanitizers, far below
// the 9-10 s freezes of a hung sound server or bus.
constexpr qint64 kResponsiveMs = 4000;

// The memory the process holds, and how much of it the measured cycles may add.
#if defined(__SANITIZE_ADDRESS__)
// The heap in use: the sanitizer's quarantine keeps freed memory resident. After the
// warm-up it grows once, by some 30 KiB, however many cycles follow.
long heldMemoryKiB()
{
    return static_cast<long>(__sanitizer_get_current_allocated_bytes() / 1024);
}
constexpr long kMemoryGrowthKiB = 256;
#else
// The resident set, which moves by pages and allocator arenas.
long heldMemoryKiB()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmRSS:"))
            return std::stol(line.substr(6));
    }
    return 0;
}
constexpr long kMemoryGrowthKiB = 2048;
#endif

// What the process holds.
struct Usage {
    long memoryKiB = 0;
    std::size_t fds = 0;

    static Usage now()
    {
        Usage usage;
        usage.memoryKiB = heldMemoryKiB();
        for ([[maybe_unused]] const auto &entry : std::filesystem::directory_iterator("/proc/self/fd"))
            ++usage.fds;
        return usage;
    }
};

// A folder chain under `base` deep enough that the file's full path has `length` characters.
std::filesystem::path pathOfLength(const std::filesystem::path &base, std::size_t length)
{
    std::filesystem::path path = base;
    const std::string file = "song.mid";
    while (path.string().size() + 1 + file.size() < length) {
        const std::size_t room = length - path.string().size() - 1 - file.size() - 1;
        path /= std::string(std::min<std::size_t>(room == 0 ? 1 : room, 200), 'd');
    }
    std::filesystem::create_directories(path);
    return path / file;
}

} // namespace

// The real window, alarm and media interpreter over the real synthesiser and
// soundfont, rendered on demand; a scripted clock, file dialog and power switch,
// and a counting beeper. Ticks are delivered by hand, so thousands of cycles
// take seconds.
class Form1ReliabilityTest : public QObject, private testing::Form1Driver {
    Q_OBJECT

public:
    Form1ReliabilityTest()
        : Form1Driver(form, clock, dialog)
    {
    }

private:
    testing::ScratchDirectory folder;
    testing::FakeClock clock;
    testing::RecordingBeeper beeper;
    testing::RecordingPowerSwitch powerSwitch;
    testing::FakeSuspendInhibitor awake;
    testing::ScriptedFileDialog dialog;
    std::shared_ptr<ManualOutputControl> output;
    FluidMidiDevice *device = nullptr;
    std::unique_ptr<MediaCommandInterpreter> media;
    std::unique_ptr<Alarm> alarm;
    std::unique_ptr<Form1> form;
    const std::filesystem::path song = folder / "song.mid";

    void build()
    {
        form.reset();
        alarm.reset();
        media.reset();
        beeper.beeps = 0;
        output = std::make_shared<ManualOutputControl>();
        auto fluid = std::make_unique<FluidMidiDevice>(
            std::vector<std::string>{testing::kTimGM6mb}, testing::manualOutput(output));
        device = fluid.get();
        media = std::make_unique<MediaCommandInterpreter>(std::move(fluid));
        alarm = std::make_unique<Alarm>(*media, beeper, powerSwitch);
        form = std::make_unique<Form1>(clock, *alarm, awake, dialog);
        QVERIFY(form->Load(false));
        form->show();
    }

    // Stop, then a one-minute countdown shows its first second gone: the window still works.
    void stopAndCountAgain()
    {
        click("Command2");
        QVERIFY(idle());
        QCOMPARE(display(), QStringLiteral("00 : 00 : 00"));
        retype(Text2(), "1");
        click("Command1");
        QVERIFY(tick() >= 0);
        QCOMPARE(display(), QStringLiteral("00 : 00 : 59"));
        click("Command2");
        QVERIFY(idle());
    }

private slots:
    void initTestCase()
    {
        setUpApplication();
        testing::writeBytes(song, testing::sustainedNoteFile(30.0));
    }
    void cleanup()
    {
        form.reset();
        alarm.reset();
        media.reset();
    }

    // The file goes bad between its choice and the alarm: the beeps ring instead,
    // at once, and the window goes on.
    // clang-format off
    void badFileAtExpiryBeeps_data()
    {
        QTest::addColumn<Mutation>("mutate");
        QTest::newRow("deleted") << Mutation([](const auto &path) { std::filesystem::remove(path); });
        QTest::newRow("FIFO") << Mutation([](const auto &path) {
            std::filesystem::remove(path);
            QCOMPARE(::mkfifo(path.c_str(), 0600), 0);
        });
        QTest::newRow("unreadable") << Mutation([](const auto &path) {
            // Root reads anything: there a dangling symbolic link stands in.
            if (::geteuid() == 0) {
                std::filesystem::remove(path);
                std::filesystem::create_symlink("/nonexistent/sorabune.mid", path);
            } else {
                std::filesystem::permissions(path, std::filesystem::perms::none);
            }
        });
    }
    // clang-format on
    void badFileAtExpiryBeeps()
    {
        QFETCH(Mutation, mutate);
        build();
        const std::filesystem::path path = folder / "changing.mid";
        std::filesystem::remove_all(path);
        testing::writeBytes(path, testing::sustainedNoteFile(30.0));
        chooseMidi(path);
        mutate(path);

        click("Command1");
        const qint64 busy = tick();
        QVERIFY2(busy < kResponsiveMs, qPrintable(QStringLiteral("the expiry took %1 ms").arg(busy)));
        QCOMPARE(beeper.beeps, 3);
        QVERIFY(ringing());
        QVERIFY(tick() < kResponsiveMs); // ringing goes on ticking, and fires no more
        QCOMPARE(beeper.beeps, 3);
        QCOMPARE(output->started(), 0);
        stopAndCountAgain();
        std::filesystem::remove_all(path);
    }

    // Odd but valid names play: the name passes through the open command intact.
    // clang-format off
    void oddNamesPlay_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("newline") << QStringLiteral("two\nlines.mid");
        QTest::newRow("4,000 characters") << QString();
    }
    // clang-format on
    void oddNamesPlay()
    {
        QFETCH(QString, name);
        build();
        const std::filesystem::path path =
            name.isEmpty() ? pathOfLength(folder / "long", 4000) : folder / std::filesystem::path(name.toStdString());
        if (name.isEmpty())
            QCOMPARE(path.string().size(), std::size_t{4000});
        testing::writeBytes(path, testing::sustainedNoteFile(30.0));
        chooseMidi(path);

        click("Command1");
        QVERIFY(tick() >= 0);
        QCOMPARE(beeper.beeps, 0);
        QCOMPARE(output->started(), 1);
        QVERIFY(output->renderSeconds(0.5).peak() > 0.01f);
        QVERIFY(ringing());
        click("Command2");
        QVERIFY(idle());
        // Stop closes the tune too: once the device settles no output is left to sound.
        QVERIFY(device->waitUntilIdle(std::chrono::seconds(20)));
        QCOMPARE(output->running(), 0);
        stopAndCountAgain();
    }

    // Long use leaves nothing behind: memory, files and threads as after warming up.
    // clang-format off
    void manyCyclesLeaveNothingBehind_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("cycles");
        QTest::newRow("10,000 start/stop") << QStringLiteral("start/stop") << 10000;
        QTest::newRow("1,000 MIDI alarms") << QStringLiteral("MIDI") << 1000;
        QTest::newRow("an hour of ringing") << QStringLiteral("ringing") << 3600;
    }
    // clang-format on
    void manyCyclesLeaveNothingBehind()
    {
        QFETCH(QString, kind);
        QFETCH(int, cycles);
        const testing::ThreadIds baseThreads = testing::threadIds();
        build();
        chooseMidi(song);
        const bool midi = kind == QLatin1String("MIDI");
        const std::function<void()> cycle = [&] {
            if (kind == QLatin1String("start/stop")) {
                retype(Text2(), "59");
                click("Command1");
                tick();
                click("Command2");
            } else if (midi) {
                click("Command1");
                tick(); // expires: the tune starts
                tick(); // ringing
                click("Command2");
            } else {
                tick();
            }
        };
        if (kind == QLatin1String("ringing")) {
            click("Command1");
            tick();
            QVERIFY(ringing());
        }
        const auto settle = [&] {
            QCoreApplication::processEvents();
            QVERIFY(device->waitUntilIdle(std::chrono::seconds(20)));
            // Also before measuring: a thread on its way out still holds what it freed
            // in the sanitizer's count.
            QVERIFY2(testing::threadsStartedSinceEnd(baseThreads), "a thread was left behind");
        };
        const int warmUp = cycles / 10;
        for (int i = 0; i < warmUp; ++i)
            cycle();
        settle();
        const Usage before = Usage::now();
        QElapsedTimer elapsed;
        elapsed.start();
        for (int i = warmUp; i < cycles; ++i)
            cycle();
        const qint64 took = elapsed.elapsed();
        settle();
        const Usage after = Usage::now();
        qInfo("%s, %d cycles (%d measured) in %lld ms: memory %ld -> %ld KiB, fds %zu -> %zu", qPrintable(kind), cycles,
            cycles - warmUp, took, before.memoryKiB, after.memoryKiB, before.fds, after.fds);
        QCOMPARE(beeper.beeps, 0);
        if (midi)
            QCOMPARE(output->started(), cycles);
        QCOMPARE(after.fds, before.fds);
        QVERIFY2(after.memoryKiB - before.memoryKiB < kMemoryGrowthKiB, "memory grew");
    }
};

QTEST_MAIN(Form1ReliabilityTest)
#include "form1_reliability_test.moc"
