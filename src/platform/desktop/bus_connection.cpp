// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/desktop/bus_connection.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

namespace sorabune {
namespace {

struct SlotDeleter {
    void operator()(sd_bus_slot *slot) const { sd_bus_slot_unref(slot); }
};

struct PendingAnswer {
    bool arrived = false;
    BusAnswer answer;
};

int onAnswer(sd_bus_message *reply, void *userData, sd_bus_error *)
{
    auto *pending = static_cast<PendingAnswer *>(userData);
    pending->arrived = true;
    if (const sd_bus_error *error = sd_bus_message_get_error(reply)) {
        pending->answer.error = error->message ? error->message : error->name;
        return 0;
    }
    pending->answer.reply.reset(sd_bus_message_ref(reply));
    return 0;
}

constexpr std::chrono::seconds kTimeoutMargin{1};

std::uint64_t microseconds(std::chrono::steady_clock::duration duration)
{
    return static_cast<std::uint64_t>(
        std::max<std::int64_t>(0, std::chrono::duration_cast<std::chrono::microseconds>(duration).count()));
}

} // namespace

BusConnection::BusConnection(Bus bus)
    : m_name(bus == Bus::System ? "system bus" : "session bus")
    , m_letInBy(std::chrono::steady_clock::now() + kHandshakeLimit)
{
    sd_bus *raw = nullptr;
    // Follows the address in the environment; connects without waiting.
    const int error = bus == Bus::System ? sd_bus_open_system(&raw) : sd_bus_open_user(&raw);
    if (error < 0) {
        m_error = std::string("no ") + m_name + " (" + std::strerror(-error) + ")";
        return;
    }
    m_bus.reset(raw);
}

BusMessage BusConnection::newCall(const char *service, const char *path, const char *interface, const char *member)
{
    sd_bus_message *raw = nullptr;
    if (!m_bus || sd_bus_message_new_method_call(m_bus.get(), &raw, service, path, interface, member) < 0)
        return nullptr;
    return BusMessage(raw);
}

BusAnswer BusConnection::call(BusMessage call, Deadline deadline)
{
    if (!m_bus)
        return {nullptr, m_error};
    if (!call)
        return {nullptr, "out of memory"};
    // Copied: sending moves the message's header.
    const char *destination = sd_bus_message_get_destination(call.get());
    const std::string service = destination ? destination : "the service";
    PendingAnswer pending;
    sd_bus_slot *rawSlot = nullptr;
    const auto now = std::chrono::steady_clock::now();
    // sd-bus's own time-out comes later than the deadline, so that its answer
    // is never mistaken for the service's.
    const std::uint64_t timeout = microseconds(deadline - now + kTimeoutMargin);
    if (const int error = sd_bus_call_async(m_bus.get(), &rawSlot, call.get(), onAnswer, &pending, timeout); error < 0)
        return {nullptr, std::string("cannot send to the ") + m_name + " (" + std::strerror(-error) + ")"};
    // Dropped on the way out: an answer that comes later finds no one waiting.
    const std::unique_ptr<sd_bus_slot, SlotDeleter> slot(rawSlot);
    while (!pending.arrived) {
        const int processed = sd_bus_process(m_bus.get(), nullptr);
        if (processed < 0)
            return {nullptr, std::string("lost the ") + m_name + " (" + std::strerror(-processed) + ")"};
        if (processed > 0)
            continue;
        const bool letIn = sd_bus_is_ready(m_bus.get()) > 0;
        const auto waited = std::chrono::steady_clock::now();
        if (!letIn && waited >= std::min(deadline, m_letInBy))
            return {nullptr, std::string("the ") + m_name + " does not answer"};
        if (waited >= deadline)
            return {nullptr, service + " did not answer in time"};
        const Deadline until = letIn ? deadline : std::min(deadline, m_letInBy);
        if (const int error = sd_bus_wait(m_bus.get(), microseconds(until - waited)); error < 0)
            return {nullptr, std::string("lost the ") + m_name + " (" + std::strerror(-error) + ")"};
    }
    if (!pending.answer)
        pending.answer.error = service + " answered: " + pending.answer.error;
    return std::move(pending.answer);
}

} // namespace sorabune
