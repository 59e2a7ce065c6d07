// brakkle-identity: prints what a VST3 host reads from the Brakkle module:
// the factory record, the class records with their IDs, the component's
// controller and its buses.
//
//   brakkle-identity [path/to/Brakkle.vst3]   (default: this build's bundle)

#include "Vst3Module.h"

#include "pluginterfaces/vst/ivstcomponent.h"

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace Steinberg;

namespace
{
    std::string utf8 (const Vst::TChar* text)
    {
        std::string out;
        for (; *text != 0; ++text)
            out += *text < 0x80 ? (char) *text : '?';
        return out;
    }

    void printBuses (Vst::IComponent& component)
    {
        for (auto type : { Vst::kAudio, Vst::kEvent })
            for (auto direction : { Vst::kInput, Vst::kOutput })
            {
                const auto count = component.getBusCount (type, direction);
                std::printf ("  %s %s buses: %d\n", type == Vst::kAudio ? "audio" : "event",
                             direction == Vst::kInput ? "input" : "output", (int) count);
                for (int32 i = 0; i < count; ++i)
                {
                    Vst::BusInfo bus {};
                    if (component.getBusInfo (type, direction, i, bus) == kResultOk)
                        std::printf ("    \"%s\", %d channel(s)\n", utf8 (bus.name).c_str(), (int) bus.channelCount);
                }
            }
    }
}

int main (int argc, char** argv)
{
    std::string bundle = argc > 1 ? argv[1] : BRAKKLE_BUNDLE;
    if (char* resolved = realpath (bundle.c_str(), nullptr))
    {
        bundle = resolved;
        free (resolved);
    }

    brakkle::vst3::Module module (bundle, "Brakkle");

    if (module.factory == nullptr)
    {
        std::fprintf (stderr, "brakkle-identity: %s\n", module.error.c_str());
        return 1;
    }

    PFactoryInfo factoryInfo {};
    module.factory->getFactoryInfo (&factoryInfo);
    std::printf ("%s\n  vendor \"%s\", url \"%s\", e-mail \"%s\", flags %d\n", bundle.c_str(),
                 factoryInfo.vendor, factoryInfo.url, factoryInfo.email, (int) factoryInfo.flags);

    IPluginFactory2* factory2 = nullptr;
    module.factory->queryInterface (IPluginFactory2::iid, reinterpret_cast<void**> (&factory2));

    for (int32 i = 0; i < module.factory->countClasses(); ++i)
    {
        PClassInfo2 info {};
        if (factory2 == nullptr || factory2->getClassInfo2 (i, &info) != kResultOk)
            continue;
        std::printf ("  class %d: \"%s\" by \"%s\", %s [%s], version %s, %s\n    id %s\n", (int) i, info.name, info.vendor,
                     info.category, info.subCategories, info.version, info.sdkVersion, brakkle::vst3::hexWords (info.cid).c_str());

        if (i != 0)
            continue;

        Vst::IComponent* component = nullptr;
        if (module.factory->createInstance (info.cid, Vst::IComponent::iid, reinterpret_cast<void**> (&component)) == kResultOk)
        {
            component->initialize (nullptr);
            TUID controller {};
            if (component->getControllerClassId (controller) == kResultOk)
                std::printf ("    controller %s\n", brakkle::vst3::hexWords (controller).c_str());
            printBuses (*component);
            component->terminate();
            component->release();
        }
    }

    if (factory2 != nullptr)
        factory2->release();
    return 0;
}
