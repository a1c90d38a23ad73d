#pragma once

#include "platform/media/midi_device.h"

#include <memory>
#include <string>

namespace sorabune {

// A MIDI device loaded from a module (see midi_device_module.h) at its first
// use, then passed every call. While the module cannot be loaded, each use
// tries again and says why on stderr: opening and playing answer DeviceError,
// and the rest do nothing.
class ModuleMidiDevice final : public MidiDevice {
public:
    explicit ModuleMidiDevice(std::string modulePath);
    ~ModuleMidiDevice() override;
    ModuleMidiDevice(const ModuleMidiDevice &) = delete;
    ModuleMidiDevice &operator=(const ModuleMidiDevice &) = delete;

    void prepare() override;
    MediaError openOutput() override;
    void closeOutput() override;
    MediaError play(std::span<const std::uint8_t> midi) override;
    void stop() override;

private:
    // The module's device, loading it first if need be; null when it cannot be had.
    MidiDevice *device();

    std::string m_modulePath;
    std::unique_ptr<MidiDevice> m_device;
};

} // namespace sorabune
