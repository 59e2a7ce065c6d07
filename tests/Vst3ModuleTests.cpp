// The module as a VST3 host sees it, through nothing but the platform's loader
// and the VST3 SDK's interface headers: factory record, class records, class IDs,
// the component's controller and its buses.

#include "Vst3Module.h"

#include "pluginterfaces/base/ipluginbase.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/vsttypes.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

using namespace Steinberg;

namespace
{
    using brakkle::vst3::wordsOf;
    using brakkle::vst3::Module;

    struct ExpectedClass
    {
        const char* category;
        const char* subCategories;
        std::array<uint32, 4> id;
    };

    const ExpectedClass expectedClasses[] = {
        { "Audio Module Class", "Fx", { 0xABCDEF01, 0x9182FAEB, 0x486C766E, 0x42726B6C } },
        { "Component Controller Class", "Fx", { 0xABCDEF01, 0x1234ABCD, 0x486C766E, 0x42726B6C } },
        { "Plugin Compatibility Class", "", { 0xABCDEF01, 0xC0DEF00D, 0x486C766E, 0x42726B6C } },
    };

    class Vst3Module : public ::testing::Test
    {
    protected:
        static void SetUpTestSuite() { module = new Module (BRAKKLE_BUNDLE, "Brakkle"); }
        static void TearDownTestSuite() { delete module; }
        static Module* module;
    };

    Module* Vst3Module::module = nullptr;
}

TEST_F (Vst3Module, FactoryRecord)
{
    ASSERT_NE (module->handle, nullptr) << module->error;
    EXPECT_TRUE (module->entered);
    ASSERT_NE (module->factory, nullptr);

    PFactoryInfo info {};
    ASSERT_EQ (module->factory->getFactoryInfo (&info), kResultOk);
    EXPECT_STREQ (info.vendor, "Halvorn");
    EXPECT_EQ (info.flags, 16);   // Unicode class records
    EXPECT_GT (std::strlen (info.url), 0u);
    EXPECT_GT (std::strlen (info.email), 0u);
}

TEST_F (Vst3Module, ClassRecordsAndIds)
{
    ASSERT_NE (module->factory, nullptr);
    auto* factory = module->factory;
    ASSERT_EQ (factory->countClasses(), 3);

    IPluginFactory2* factory2 = nullptr;
    ASSERT_EQ (factory->queryInterface (IPluginFactory2::iid, reinterpret_cast<void**> (&factory2)), kResultOk);

    for (int32 i = 0; i < 3; ++i)
    {
        SCOPED_TRACE (i);
        PClassInfo2 info {};
        ASSERT_EQ (factory2->getClassInfo2 (i, &info), kResultOk);
        EXPECT_STREQ (info.category, expectedClasses[i].category);
        EXPECT_STREQ (info.subCategories, expectedClasses[i].subCategories);
        EXPECT_STREQ (info.name, "Brakkle");
        EXPECT_STREQ (info.vendor, "Halvorn");
        EXPECT_STREQ (info.version, BRAKKLE_VERSION);
        EXPECT_STREQ (info.sdkVersion, "VST 3.7.12");
        EXPECT_EQ (info.cardinality, PClassInfo::kManyInstances);
        EXPECT_EQ (info.classFlags, 0u);
        EXPECT_EQ (wordsOf (info.cid), expectedClasses[i].id);
    }

    factory2->release();
}

TEST_F (Vst3Module, ComponentNamesItsControllerAndHasNoEventBuses)
{
    ASSERT_NE (module->factory, nullptr);
    PClassInfo info {};
    ASSERT_EQ (module->factory->getClassInfo (0, &info), kResultOk);

    Vst::IComponent* component = nullptr;
    ASSERT_EQ (module->factory->createInstance (info.cid, Vst::IComponent::iid, reinterpret_cast<void**> (&component)), kResultOk);
    ASSERT_NE (component, nullptr);
    ASSERT_EQ (component->initialize (nullptr), kResultOk);

    TUID controller {};
    ASSERT_EQ (component->getControllerClassId (controller), kResultOk);
    EXPECT_EQ (wordsOf (controller), expectedClasses[1].id);

    EXPECT_EQ (component->getBusCount (Vst::kEvent, Vst::kInput), 0);
    EXPECT_EQ (component->getBusCount (Vst::kEvent, Vst::kOutput), 0);
    ASSERT_EQ (component->getBusCount (Vst::kAudio, Vst::kInput), 1);
    ASSERT_EQ (component->getBusCount (Vst::kAudio, Vst::kOutput), 1);

    Vst::BusInfo bus {};
    ASSERT_EQ (component->getBusInfo (Vst::kAudio, Vst::kInput, 0, bus), kResultOk);
    EXPECT_EQ (bus.channelCount, 2);
    EXPECT_EQ (std::u16string (reinterpret_cast<const char16_t*> (bus.name)), u"Input");
    ASSERT_EQ (component->getBusInfo (Vst::kAudio, Vst::kOutput, 0, bus), kResultOk);
    EXPECT_EQ (bus.channelCount, 2);
    EXPECT_EQ (std::u16string (reinterpret_cast<const char16_t*> (bus.name)), u"Output");

    Vst::IAudioProcessor* processor = nullptr;
    ASSERT_EQ (component->queryInterface (Vst::IAudioProcessor::iid, reinterpret_cast<void**> (&processor)), kResultOk);
    struct Case
    {
        Vst::SpeakerArrangement in, out;
        bool accepted;
    };
    const Case cases[] = {
        { Vst::SpeakerArr::kMono, Vst::SpeakerArr::kMono, true },
        { Vst::SpeakerArr::kStereo, Vst::SpeakerArr::kStereo, true },
        { Vst::SpeakerArr::kMono, Vst::SpeakerArr::kStereo, false },
        { Vst::SpeakerArr::kStereo, Vst::SpeakerArr::kMono, false },
    };
    for (auto c : cases)
        EXPECT_EQ (processor->setBusArrangements (&c.in, 1, &c.out, 1) == kResultTrue, c.accepted)
            << std::hex << c.in << " -> " << c.out;

    processor->release();
    component->terminate();
    component->release();
}
