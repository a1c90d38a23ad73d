// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/desktop/system_beeper.h"

#include "platform/log.h"

#include <QApplication>
#include <QLoggingCategory>

#include <canberra.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <dlfcn.h>
#include <mutex>
#include <utility>

namespace sorabune {

namespace {

Q_LOGGING_CATEGORY(lcBell, kBellLog, QtWarningMsg)

// Theme bells last a fraction of a second; this only bounds a sound server that
// never reports the end.
constexpr std::chrono::seconds kLongestBell{5};
// How long closing waits for the worker before leaving it behind, stuck in a
// hung sound server.
constexpr std::chrono::seconds kLongestClose{1};
constexpr std::uint32_t kBellId = 1;

// libcanberra, opened by the bell thread at the first bell: where the display
// server rings its own bell it is never needed, and linked in it would load
// six libraries at every start.
struct Canberra {
    decltype(&::ca_context_create) ca_context_create;
    decltype(&::ca_context_destroy) ca_context_destroy;
    decltype(&::ca_context_change_props) ca_context_change_props;
    decltype(&::ca_context_play_full) ca_context_play_full;
    decltype(&::ca_context_cancel) ca_context_cancel;
    decltype(&::ca_proplist_create) ca_proplist_create;
    decltype(&::ca_proplist_destroy) ca_proplist_destroy;
    decltype(&::ca_proplist_sets) ca_proplist_sets;
    decltype(&::ca_strerror) ca_strerror;
};

template<typename Function>
bool resolve(void *library, const char *name, Function *&function)
{
    function = reinterpret_cast<Function *>(dlsym(library, name));
    return function != nullptr;
}

Canberra loadCanberra()
{
    Canberra canberra{};
    void *library = dlopen("libcanberra.so.0", RTLD_NOW | RTLD_LOCAL); // kept open for good
#define SORABUNE_RESOLVE(name) resolve(library, #name, canberra.name)
    const bool complete = library && SORABUNE_RESOLVE(ca_context_create) && SORABUNE_RESOLVE(ca_context_destroy)
        && SORABUNE_RESOLVE(ca_context_change_props) && SORABUNE_RESOLVE(ca_context_play_full)
        && SORABUNE_RESOLVE(ca_context_cancel) && SORABUNE_RESOLVE(ca_proplist_create)
        && SORABUNE_RESOLVE(ca_proplist_destroy) && SORABUNE_RESOLVE(ca_proplist_sets) && SORABUNE_RESOLVE(ca_strerror);
#undef SORABUNE_RESOLVE
    if (!complete) {
        qCWarning(lcBell, "Cannot play the theme bell: %s", dlerror());
        return {};
    }
    return canberra;
}

// Null when libcanberra cannot be had; loaded once per process.
const Canberra *canberra()
{
    static const Canberra loaded = loadCanberra();
    return loaded.ca_strerror ? &loaded : nullptr;
}

struct ContextDeleter {
    void operator()(ca_context *context) const { canberra()->ca_context_destroy(context); }
};
using Context = std::unique_ptr<ca_context, ContextDeleter>;

struct PropertiesDeleter {
    void operator()(ca_proplist *properties) const { canberra()->ca_proplist_destroy(properties); }
};
using Properties = std::unique_ptr<ca_proplist, PropertiesDeleter>;

} // namespace

// What the bells' jobs share; only they touch the context, one at a time.
struct BellState {
    std::string applicationName;
    std::string applicationId;

    std::mutex mutex;
    std::condition_variable changed;
    bool closing = false;
    std::uint64_t bellsDone = 0; // counted by libcanberra's finish callback
    bool failureSaid = false;
    Context context; // last: destroyed first, while the rest is still there for its callbacks
};

namespace {

void bellDone(ca_context *, std::uint32_t, int, void *userData)
{
    auto *state = static_cast<BellState *>(userData);
    const std::lock_guard lock(state->mutex);
    ++state->bellsDone;
    state->changed.notify_all();
}

// Said once until a bell plays again: the three bells of an alarm that cannot
// sound are one fault to the user, not three.
void reportFailure(BellState &state, const char *why)
{
    if (!std::exchange(state.failureSaid, true))
        qCWarning(lcBell, "Cannot play the theme bell, the beep is silent: %s", why);
}

// Null when there is no libcanberra, or no context to be had from it.
Context openContext(BellState &state)
{
    const Canberra *ca = canberra();
    if (!ca)
        return {};
    ca_context *raw = nullptr;
    if (const int error = ca->ca_context_create(&raw); error != CA_SUCCESS) {
        reportFailure(state, ca->ca_strerror(error));
        return {};
    }
    Context context(raw);
    ca->ca_context_change_props(raw, CA_PROP_APPLICATION_NAME, state.applicationName.c_str(), CA_PROP_APPLICATION_ID,
        state.applicationId.c_str(), nullptr);
    return context;
}

// Plays one bell and waits for its end, or for closing. False when it could not
// start, so that the next bell starts from a fresh context (the sound server may
// have come back).
bool playToEnd(ca_context *context, BellState &state)
{
    const Canberra &ca = *canberra(); // there is a context: it is loaded
    ca_proplist *raw = nullptr;
    if (ca.ca_proplist_create(&raw) != CA_SUCCESS)
        return false;
    const Properties properties(raw);
    ca.ca_proplist_sets(raw, CA_PROP_EVENT_ID, "bell");
    ca.ca_proplist_sets(raw, CA_PROP_EVENT_DESCRIPTION, "Alarm");

    std::unique_lock lock(state.mutex);
    const std::uint64_t before = state.bellsDone;
    lock.unlock();
    if (const int error = ca.ca_context_play_full(context, kBellId, raw, bellDone, &state); error != CA_SUCCESS) {
        reportFailure(state, ca.ca_strerror(error));
        return false;
    }
    state.failureSaid = false;
    lock.lock();
    const bool done =
        state.changed.wait_for(lock, kLongestBell, [&] { return state.bellsDone != before || state.closing; });
    lock.unlock();
    if (!done)
        ca.ca_context_cancel(context, kBellId);
    return true;
}

void playBell(BellState &state)
{
    {
        const std::lock_guard lock(state.mutex);
        if (state.closing)
            return;
    }
    if (!state.context)
        state.context = openContext(state);
    if (state.context && !playToEnd(state.context.get(), state))
        state.context.reset();
}

} // namespace

SystemBeeper::SystemBeeper()
    // An X client in a Wayland session talks to Xwayland, which (22.1 in Debian 12)
    // has no way to hand the bell on to the compositor.
    : m_platformBellSounds(
        QGuiApplication::platformName() == QLatin1String("xcb") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
    , m_bell(std::make_shared<BellState>())
{
    m_bell->applicationName = QCoreApplication::applicationName().toStdString();
    m_bell->applicationId = QGuiApplication::desktopFileName().toStdString();
}

SystemBeeper::~SystemBeeper()
{
    if (!m_rung)
        return;
    {
        const std::lock_guard lock(m_bell->mutex);
        m_bell->closing = true;
    }
    m_bell->changed.notify_all();
    // Destroying the context stops a bell still sounding; it is the worker's, like every call into libcanberra.
    m_worker.post([](const auto &bell) { bell->context.reset(); }, m_bell);
    // Past the limit the worker is stuck in a hung sound server: left behind, with its share of the state.
    m_worker.waitUntilIdle(kLongestClose);
}

void SystemBeeper::beep()
{
    if (m_platformBellSounds) {
        qCDebug(lcBell, "a beep: the X server's bell");
        QApplication::beep();
        return;
    }
    qCDebug(lcBell, "a beep: the sound theme's bell");
    m_rung = true;
    // Refused only while no bell thread runs: the state is ours to touch then.
    if (!m_worker.post([](const auto &bell) { playBell(*bell); }, m_bell))
        reportFailure(*m_bell, "no thread to play it on");
}

} // namespace sorabune
