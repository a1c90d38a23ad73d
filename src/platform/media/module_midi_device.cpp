#include "platform/media/module_midi_device.h"

#include "platform/media/midi_device_module.h"

#include <cstdio>
#include <dlfcn.h>
#include <utility>

namespace sorabune {

ModuleMidiDevice::ModuleMidiDevice(std::string modulePath)
    : m_modulePath(std::move(modulePath))
{
}

// The module itself is never unloaded: the device may leave a thread behind in
// a sound server that does not answer, and that thread runs the module's code.
ModuleMidiDevice::~ModuleMidiDevice() = default;

MidiDevice *ModuleMidiDevice::device()
{
    if (m_device)
        return m_device.get();
    void *module = dlopen(m_modulePath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        std::fprintf(stderr, "Sorabune: cannot load the MIDI player: %s\n", dlerror());
        return nullptr;
    }
    auto *create = reinterpret_cast<CreateMidiDevice *>(dlsym(module, createMidiDeviceSymbol));
    if (!create) {
        std::fprintf(stderr, "Sorabune: %s is not a MIDI player module\n", m_modulePath.c_str());
        dlclose(module);
        return nullptr;
    }
    m_device.reset(create());
    if (!m_device)
        std::fprintf(stderr, "Sorabune: the MIDI player could not be made\n");
    return m_device.get();
}

void ModuleMidiDevice::prepare()
{
    if (MidiDevice *loaded = device())
        loaded->prepare();
}

MediaError ModuleMidiDevice::openOutput()
{
    MidiDevice *loaded = device();
    return loaded ? loaded->openOutput() : MediaError::DeviceError;
}

void ModuleMidiDevice::closeOutput()
{
    if (m_device)
        m_device->closeOutput();
}

MediaError ModuleMidiDevice::play(std::span<const std::uint8_t> midi)
{
    return m_device ? m_device->play(midi) : MediaError::DeviceError;
}

void ModuleMidiDevice::stop()
{
    if (m_device)
        m_device->stop();
}

} // namespace sorabune
