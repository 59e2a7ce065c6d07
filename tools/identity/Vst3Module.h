#pragma once

// A VST3 module opened the way a host opens it on Linux: the platform loader,
// ModuleEntry, GetPluginFactory, and nothing but the VST3 SDK's interfaces.

#include "pluginterfaces/base/ipluginbase.h"

#include <dlfcn.h>

#include <array>
#include <cstdio>
#include <string>

namespace brakkle::vst3
{

/** The four 32-bit words of a class ID. On Linux (not COM-compatible) the SDK
    lays out each word most significant byte first: word k is bytes 4k..4k+3
    read big-endian. */
inline std::array<Steinberg::uint32, 4> wordsOf (const Steinberg::TUID id)
{
    std::array<Steinberg::uint32, 4> words {};
    for (size_t k = 0; k < 4; ++k)
        for (size_t b = 0; b < 4; ++b)
            words[k] = (words[k] << 8) | (Steinberg::uint8) id[4 * k + b];
    return words;
}

inline std::string hexWords (const Steinberg::TUID id)
{
    const auto words = wordsOf (id);
    char text[48];
    std::snprintf (text, sizeof (text), "%08X %08X %08X %08X", words[0], words[1], words[2], words[3]);
    return text;
}

class Module
{
public:
    /** Opens bundle/Contents/x86_64-linux/<name>.so. */
    Module (const std::string& bundle, const std::string& name)
    {
        const auto path = bundle + "/Contents/x86_64-linux/" + name + ".so";
        handle = dlopen (path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr)
        {
            const char* reason = dlerror();
            error = reason != nullptr ? reason : ("cannot open " + path);
            return;
        }

        using Entry = bool (*) (void*);
        if (auto entry = reinterpret_cast<Entry> (dlsym (handle, "ModuleEntry")))
            entered = entry (handle);

        using GetFactory = Steinberg::IPluginFactory* (*)();
        if (auto get = reinterpret_cast<GetFactory> (dlsym (handle, "GetPluginFactory")))
            factory = get();

        if (factory == nullptr)
            error = "the module has no plug-in factory";
    }

    ~Module()
    {
        if (factory != nullptr)
            factory->release();

        if (handle != nullptr)
        {
            using Exit = bool (*)();
            if (auto exit = reinterpret_cast<Exit> (dlsym (handle, "ModuleExit")))
                exit();
            dlclose (handle);
        }
    }

    Module (const Module&) = delete;
    Module& operator= (const Module&) = delete;

    void* handle = nullptr;
    bool entered = false;
    Steinberg::IPluginFactory* factory = nullptr;
    std::string error;
};

} // namespace brakkle::vst3
