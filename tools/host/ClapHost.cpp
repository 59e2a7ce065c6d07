#include "ClapHost.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>

#include <dlfcn.h>

namespace brakkle::host
{

thread_local bool ClapPluginInstance::onAudioThread = false;

namespace
{
    /** The entry of an opened .clap file, initialised once; files stay open
        until the program ends. Null, with the reason, when it is no CLAP file. */
    const clap_plugin_entry* openEntry (const juce::File& file, juce::String& errorMessage)
    {
        static std::mutex mutex;
        static std::map<juce::String, const clap_plugin_entry*> opened;

        const std::lock_guard<std::mutex> lock (mutex);
        const auto path = file.getFullPathName();
        if (const auto found = opened.find (path); found != opened.end())
            return found->second;

        auto* handle = dlopen (path.toRawUTF8(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr)
        {
            errorMessage = "cannot open " + path + ": " + juce::String (dlerror());
            return nullptr;
        }

        auto* entry = static_cast<const clap_plugin_entry*> (dlsym (handle, "clap_entry"));
        if (entry == nullptr || ! clap_version_is_compatible (entry->clap_version) || ! entry->init (path.toRawUTF8()))
        {
            errorMessage = path + " has no CLAP entry this host can use";
            dlclose (handle);
            return nullptr;
        }

        opened[path] = entry;
        return entry;
    }

    /** The seconds CLAP's transport carries (fixed point) for a sample position:
        the value nearest to it that JUCE's CLAP client, which multiplies the
        seconds by the rate and truncates, reads back as that same sample. */
    clap_sectime secondsFor (int64_t samples, double sampleRate)
    {
        auto readBack = [sampleRate] (clap_sectime s) { return (int64_t) ((double) s / CLAP_SECTIME_FACTOR * sampleRate); };
        auto seconds = (clap_sectime) std::llround ((double) samples / sampleRate * CLAP_SECTIME_FACTOR);
        for (int i = 0; i < 4 && readBack (seconds) != samples; ++i)
            seconds += readBack (seconds) < samples ? 1 : -1;
        return seconds;
    }

    clap_beattime beatsFor (double quarters)
    {
        return (clap_beattime) std::llround (quarters * CLAP_BEATTIME_FACTOR);
    }

    clap_event_header headerFor (uint16_t type, uint32_t size, uint32_t time)
    {
        clap_event_header header {};
        header.size = size;
        header.time = time;
        header.space_id = CLAP_CORE_EVENT_SPACE_ID;
        header.type = type;
        return header;
    }
}

//==============================================================================
/** A CLAP parameter as JUCE's side sees it: 0..1 over the plug-in's range. */
class ClapPluginInstance::Parameter final : public juce::HostedAudioProcessorParameter
{
public:
    Parameter (ClapPluginInstance& ownerIn, int indexIn, const clap_param_info& infoIn)
        : owner (ownerIn), index (indexIn), info (infoIn)
    {
    }

    const clap_param_info& clapInfo() const noexcept { return info; }

    double plainFor (float normalised) const noexcept
    {
        return info.min_value + (double) normalised * (info.max_value - info.min_value);
    }

    float normalisedFor (double plain) const noexcept
    {
        const auto range = info.max_value - info.min_value;
        return range > 0.0 ? (float) ((plain - info.min_value) / range) : 0.0f;
    }

    /** Takes the plug-in's own value, as it reported or gave it. */
    void heard (double plain) noexcept { value.store (plain, std::memory_order_relaxed); }
    double plain() const noexcept { return value.load (std::memory_order_relaxed); }

    juce::String getParameterID() const override { return juce::String ((juce::uint32) info.id); }
    float getValue() const override { return normalisedFor (plain()); }

    void setValue (float normalised) override
    {
        heard (plainFor (normalised));
        owner.setValueAt (index, normalised, 0);
    }

    float getDefaultValue() const override { return normalisedFor (info.default_value); }
    juce::String getName (int maximumLength) const override { return juce::String::fromUTF8 (info.name).substring (0, maximumLength); }
    juce::String getLabel() const override { return {}; }

    bool isDiscrete() const override { return (info.flags & CLAP_PARAM_IS_STEPPED) != 0; }

    int getNumSteps() const override
    {
        return isDiscrete() ? (int) std::lround (info.max_value - info.min_value) + 1
                            : juce::AudioProcessor::getDefaultNumParameterSteps();
    }

    bool isAutomatable() const override { return (info.flags & CLAP_PARAM_IS_AUTOMATABLE) != 0; }

    juce::String getText (float normalised, int maximumLength) const override
    {
        char text[CLAP_NAME_SIZE] {};
        if (owner.params == nullptr || ! owner.params->value_to_text (owner.plugin, info.id, plainFor (normalised), text, sizeof (text)))
            return juce::String (plainFor (normalised)).substring (0, maximumLength);
        return juce::String::fromUTF8 (text).substring (0, maximumLength);
    }

    float getValueForText (const juce::String& text) const override
    {
        double plainValue = 0.0;
        if (owner.params == nullptr || ! owner.params->text_to_value (owner.plugin, info.id, text.toRawUTF8(), &plainValue))
            return getValue();
        return normalisedFor (plainValue);
    }

private:
    ClapPluginInstance& owner;
    const int index;
    const clap_param_info info;
    std::atomic<double> value { info.default_value };
};

//==============================================================================
std::unique_ptr<ClapPluginInstance> ClapPluginInstance::load (const juce::File& file, juce::String& errorMessage)
{
    const auto* entry = openEntry (file, errorMessage);
    if (entry == nullptr)
        return nullptr;

    const auto* factory = static_cast<const clap_plugin_factory*> (entry->get_factory (CLAP_PLUGIN_FACTORY_ID));
    const auto* descriptor = factory != nullptr && factory->get_plugin_count (factory) > 0
                               ? factory->get_plugin_descriptor (factory, 0) : nullptr;
    if (descriptor == nullptr || ! clap_version_is_compatible (descriptor->clap_version))
    {
        errorMessage = file.getFullPathName() + " offers no CLAP plug-in this host can use";
        return nullptr;
    }

    // One main input and one main output of the same width: that is what this
    // host plays (the width is read once the plug-in exists).
    const auto stereo = juce::AudioChannelSet::stereo();
    std::unique_ptr<ClapPluginInstance> instance (new ClapPluginInstance (file, *entry, *descriptor,
        BusesProperties().withInput ("Input", stereo, true).withOutput ("Output", stereo, true), 2));

    if (! instance->create (errorMessage))
        return nullptr;

    return instance;
}

ClapPluginInstance::ClapPluginInstance (const juce::File& fileIn, const clap_plugin_entry& entryIn,
                                        const clap_plugin_descriptor& descriptorIn,
                                        const BusesProperties& buses, int portChannels)
    : AudioPluginInstance (buses), file (fileIn), entry (entryIn), pluginDescriptor (&descriptorIn),
      channelsPerPort (portChannels)
{
    host.clap_version = CLAP_VERSION;
    host.host_data = this;
    host.name = "Brakkle's CLAP host";
    host.vendor = "Halvorn";
    host.url = "";
    host.version = "1";
    host.get_extension = hostExtension;
    host.request_restart = [] (const clap_host*) {};
    host.request_process = [] (const clap_host*) {};
    host.request_callback = [] (const clap_host* h) { of (h).callbackRequested.store (true); };
}

bool ClapPluginInstance::create (juce::String& errorMessage)
{
    const auto* factory = static_cast<const clap_plugin_factory*> (entry.get_factory (CLAP_PLUGIN_FACTORY_ID));
    plugin = factory->create_plugin (factory, &host, pluginDescriptor->id);

    if (plugin == nullptr || ! plugin->init (plugin))
    {
        errorMessage = "the CLAP plug-in " + juce::String (pluginDescriptor->id) + " could not be created";
        if (plugin != nullptr)
            plugin->destroy (plugin);
        plugin = nullptr;
        return false;
    }

    params = static_cast<const clap_plugin_params*> (plugin->get_extension (plugin, CLAP_EXT_PARAMS));
    state = static_cast<const clap_plugin_state*> (plugin->get_extension (plugin, CLAP_EXT_STATE));

    ports = static_cast<const clap_plugin_audio_ports*> (plugin->get_extension (plugin, CLAP_EXT_AUDIO_PORTS));
    portsConfig = static_cast<const clap_plugin_audio_ports_config*> (plugin->get_extension (plugin, CLAP_EXT_AUDIO_PORTS_CONFIG));

    // One main input and output, each of the width the plug-in names.
    if (ports != nullptr)
    {
        const auto width = portWidth();
        if (width == 0)
        {
            errorMessage = "the CLAP plug-in has audio ports this host does not play (one input and one output, mono or stereo)";
            return false;
        }

        if (width != channelsPerPort)
        {
            channelsPerPort = width;
            setBusesLayout (layoutOfWidth (width));
        }
    }

    readPortsConfigs();
    readParameters();
    return true;
}

int ClapPluginInstance::portWidth() const
{
    clap_audio_port_info in {}, out {};
    if (ports->count (plugin, true) != 1 || ports->count (plugin, false) != 1
        || ! ports->get (plugin, 0, true, &in) || ! ports->get (plugin, 0, false, &out)
        || in.channel_count != out.channel_count || in.channel_count < 1 || in.channel_count > 2)
        return 0;

    return (int) in.channel_count;
}

clap_audio_port_info ClapPluginInstance::mainPort (bool isInput) const
{
    clap_audio_port_info info {};
    if (ports == nullptr || ports->count (plugin, isInput) == 0 || ! ports->get (plugin, 0, isInput, &info))
        return {};
    return info;
}

juce::AudioProcessor::BusesLayout ClapPluginInstance::layoutOfWidth (int channels)
{
    const auto set = juce::AudioChannelSet::canonicalChannelSet (channels);
    BusesLayout layout;
    layout.inputBuses.add (set);
    layout.outputBuses.add (set);
    return layout;
}

void ClapPluginInstance::readPortsConfigs()
{
    configs.clear();
    if (portsConfig == nullptr)
        return;

    const auto count = portsConfig->count (plugin);
    for (uint32_t i = 0; i < count; ++i)
    {
        clap_audio_ports_config config {};
        if (portsConfig->get (plugin, i, &config))
            configs.push_back (config);
    }
}

const clap_audio_ports_config* ClapPluginInstance::configOfWidth (int channels) const
{
    for (const auto& config : configs)
        if (config.input_port_count == 1 && config.output_port_count == 1
            && config.has_main_input && config.has_main_output
            && config.main_input_channel_count == (uint32_t) channels
            && config.main_output_channel_count == (uint32_t) channels)
            return &config;

    return nullptr;
}

ClapPluginInstance::~ClapPluginInstance()
{
    if (plugin != nullptr)
    {
        stopAndDeactivate();
        plugin->destroy (plugin);
    }
}

void ClapPluginInstance::readParameters()
{
    if (params == nullptr)
        return;

    const auto count = params->count (plugin);
    for (uint32_t i = 0; i < count; ++i)
    {
        clap_param_info info {};
        if (! params->get_info (plugin, i, &info))
            continue;

        auto parameter = std::make_unique<Parameter> (*this, (int) parameters.size(), info);
        parameters.push_back (parameter.get());
        addHostedParameter (std::move (parameter));
    }

    refreshParameterValues();
}

void ClapPluginInstance::refreshParameterValues()
{
    if (params == nullptr)
        return;

    for (auto* parameter : parameters)
    {
        double plain = 0.0;
        if (params->get_value (plugin, parameter->clapInfo().id, &plain) && ! juce::exactlyEqual (plain, parameter->plain()))
        {
            parameter->heard (plain);
            parameter->sendValueChangedMessageToListeners (parameter->getValue());
        }
    }
}

const clap_param_info& ClapPluginInstance::parameterInfo (int index) const
{
    return parameters[(size_t) index]->clapInfo();
}

void ClapPluginInstance::setValueAt (int parameterIndex, float normalised, int sampleOffset)
{
    if (parameterIndex < 0 || parameterIndex >= (int) parameters.size())
        return;

    const juce::AbstractFifo::ScopedWrite write (changeFifo, 1);
    if (write.blockSize1 > 0)
        changes[(size_t) write.startIndex1] = { parameterIndex, parameters[(size_t) parameterIndex]->plainFor (normalised), sampleOffset };
}

void ClapPluginInstance::runMainThreadRequests()
{
    if (callbackRequested.exchange (false))
        plugin->on_main_thread (plugin);
}

//==============================================================================
void ClapPluginInstance::fillInPluginDescription (juce::PluginDescription& description) const
{
    juce::StringArray features;
    for (auto* const* feature = pluginDescriptor->features; feature != nullptr && *feature != nullptr; ++feature)
        features.add (*feature);

    description.name = juce::String::fromUTF8 (pluginDescriptor->name);
    description.descriptiveName = juce::String::fromUTF8 (pluginDescriptor->description);
    description.pluginFormatName = "CLAP";
    description.category = features.joinIntoString ("|");
    description.manufacturerName = juce::String::fromUTF8 (pluginDescriptor->vendor);
    description.version = juce::String::fromUTF8 (pluginDescriptor->version);
    description.fileOrIdentifier = file.getFullPathName();
    description.uniqueId = description.deprecatedUid = juce::String (pluginDescriptor->id).hashCode();
    description.isInstrument = features.contains (CLAP_PLUGIN_FEATURE_INSTRUMENT);
    description.numInputChannels = getTotalNumInputChannels();
    description.numOutputChannels = getTotalNumOutputChannels();
}

const juce::String ClapPluginInstance::getName() const
{
    return juce::String::fromUTF8 (pluginDescriptor->name);
}

bool ClapPluginInstance::isBusesLayoutSupported (const BusesLayout& layout) const
{
    if (layout.inputBuses.size() != 1 || layout.outputBuses.size() != 1)
        return false;

    const auto width = layout.getMainInputChannels();
    return width == layout.getMainOutputChannels()
        && (width == channelsPerPort || configOfWidth (width) != nullptr);
}

bool ClapPluginInstance::applyBusLayouts (const BusesLayout& layout)
{
    const auto width = layout.getMainInputChannels();
    if (width != channelsPerPort)
    {
        const auto* config = configOfWidth (width);
        if (config == nullptr || ports == nullptr)
            return false;

        // Selected while the plug-in is deactivated (prepareToPlay activates it anew).
        stopAndDeactivate();
        if (! selectPortsConfig (config->id) || channelsPerPort != width)
            return false;
    }

    return AudioPluginInstance::applyBusLayouts (layout);
}

bool ClapPluginInstance::selectPortsConfig (clap_id id)
{
    if (portsConfig == nullptr || ports == nullptr || ! portsConfig->select (plugin, id))
        return false;

    // The ports as they are now.
    if (const auto selected = portWidth(); selected != 0)
        channelsPerPort = selected;
    return true;
}

void ClapPluginInstance::prepareToPlay (double sampleRate, int maximumBlockSize)
{
    stopAndDeactivate();
    maxBlock = juce::jmax (1, maximumBlockSize);
    active = plugin->activate (plugin, sampleRate, 1, (uint32_t) maxBlock);
}

void ClapPluginInstance::releaseResources()
{
    stopAndDeactivate();
}

void ClapPluginInstance::stopAndDeactivate()
{
    if (processing)
    {
        const juce::ScopedValueSetter<bool> audioThread (onAudioThread, true);
        plugin->stop_processing (plugin);
        processing = false;
    }

    if (active)
        plugin->deactivate (plugin);
    active = false;
}

//==============================================================================
std::optional<clap_event_transport> ClapPluginInstance::transportForBlock() const
{
    auto* head = getPlayHead();
    const auto position = head != nullptr ? head->getPosition() : juce::Optional<juce::AudioPlayHead::PositionInfo>();
    if (! position)
        return std::nullopt;

    clap_event_transport transport {};
    transport.header = headerFor (CLAP_EVENT_TRANSPORT, sizeof (transport), 0);

    if (position->getIsPlaying())
        transport.flags |= CLAP_TRANSPORT_IS_PLAYING;

    if (const auto bpm = position->getBpm())
    {
        transport.flags |= CLAP_TRANSPORT_HAS_TEMPO;
        transport.tempo = *bpm;
    }

    if (const auto samples = position->getTimeInSamples())
    {
        transport.flags |= CLAP_TRANSPORT_HAS_SECONDS_TIMELINE;
        transport.song_pos_seconds = secondsFor (*samples, getSampleRate());
    }

    double quartersPerBar = 4.0;
    if (const auto meter = position->getTimeSignature())
    {
        transport.flags |= CLAP_TRANSPORT_HAS_TIME_SIGNATURE;
        transport.tsig_num = (uint16_t) meter->numerator;
        transport.tsig_denom = (uint16_t) meter->denominator;
        if (meter->numerator > 0 && meter->denominator > 0)
            quartersPerBar = meter->numerator * 4.0 / meter->denominator;
    }

    if (const auto ppq = position->getPpqPosition())
    {
        transport.flags |= CLAP_TRANSPORT_HAS_BEATS_TIMELINE;
        transport.song_pos_beats = beatsFor (*ppq);
        const auto barStart = position->getPpqPositionOfLastBarStart().orFallback (std::floor (*ppq / quartersPerBar) * quartersPerBar);
        transport.bar_start = beatsFor (barStart);
        transport.bar_number = (int32_t) std::floor (barStart / quartersPerBar);

        if (const auto loop = position->getLoopPoints(); loop && position->getIsLooping())
        {
            transport.flags |= CLAP_TRANSPORT_IS_LOOP_ACTIVE;
            transport.loop_start_beats = beatsFor (loop->ppqStart);
            transport.loop_end_beats = beatsFor (loop->ppqEnd);
        }
    }

    return transport;
}

uint32_t ClapPluginInstance::gatherEvents (int numSamples)
{
    numBlockEvents = 0;
    const juce::AbstractFifo::ScopedRead read (changeFifo, changeFifo.getNumReady());

    auto add = [this, numSamples] (int start, int size)
    {
        for (int i = start; i < start + size; ++i)
        {
            const auto& change = changes[(size_t) i];
            const auto& info = parameters[(size_t) change.index]->clapInfo();
            const auto time = (uint32_t) juce::jlimit (0, juce::jmax (0, numSamples - 1), change.sampleOffset);

            clap_event_param_value event {};
            event.header = headerFor (CLAP_EVENT_PARAM_VALUE, sizeof (event), time);
            event.param_id = info.id;
            event.cookie = info.cookie;
            event.note_id = -1;
            event.port_index = -1;
            event.channel = -1;
            event.key = -1;
            event.value = change.value;

            // In time order, changes at the same sample in the order they came.
            auto at = numBlockEvents++;
            for (; at > 0 && blockEvents[at - 1].header.time > time; --at)
                blockEvents[at] = blockEvents[at - 1];
            blockEvents[at] = event;
        }
    };

    add (read.startIndex1, read.blockSize1);
    add (read.startIndex2, read.blockSize2);
    return numBlockEvents;
}

void ClapPluginInstance::readOutputEvent (const clap_event_header& header)
{
    if (header.space_id != CLAP_CORE_EVENT_SPACE_ID || header.type != CLAP_EVENT_PARAM_VALUE)
        return;

    const auto& event = reinterpret_cast<const clap_event_param_value&> (header);
    for (auto* parameter : parameters)
    {
        if (parameter->clapInfo().id == event.param_id)
        {
            parameter->heard (event.value);
            parameter->sendValueChangedMessageToListeners (parameter->getValue());
            return;
        }
    }
}

void ClapPluginInstance::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    const auto numSamples = buffer.getNumSamples();
    if (! active || numSamples <= 0 || buffer.getNumChannels() != channelsPerPort)
        return;

    const juce::ScopedValueSetter<bool> audioThread (onAudioThread, true);

    // A plug-in that will not start processing must not be asked to process.
    if (! processing && ! (processing = plugin->start_processing (plugin)))
        return;

    // The channels in place: the output overwrites the input.
    for (int c = 0; c < channelsPerPort; ++c)
        channelPointers[(size_t) c] = buffer.getWritePointer (c);

    clap_audio_buffer audio {};
    audio.data32 = channelPointers.data();
    audio.channel_count = (uint32_t) channelsPerPort;
    clap_audio_buffer audioOut = audio;

    const auto transport = transportForBlock();
    gatherEvents (numSamples);

    clap_input_events inEvents { this,
        [] (const clap_input_events* list) { return static_cast<ClapPluginInstance*> (list->ctx)->numBlockEvents; },
        [] (const clap_input_events* list, uint32_t index) -> const clap_event_header*
        {
            auto& self = *static_cast<ClapPluginInstance*> (list->ctx);
            return index < self.numBlockEvents ? &self.blockEvents[index].header : nullptr;
        } };

    clap_output_events outEvents { this,
        [] (const clap_output_events* list, const clap_event_header* event)
        {
            static_cast<ClapPluginInstance*> (list->ctx)->readOutputEvent (*event);
            return true;
        } };

    clap_process process {};
    process.steady_time = steadyTime;
    process.frames_count = (uint32_t) numSamples;
    process.transport = transport ? &*transport : nullptr;
    process.audio_inputs = &audio;
    process.audio_outputs = &audioOut;
    process.audio_inputs_count = 1;
    process.audio_outputs_count = 1;
    process.in_events = &inEvents;
    process.out_events = &outEvents;

    if (plugin->process (plugin, &process) == CLAP_PROCESS_ERROR)
        buffer.clear();   // what a failed call left in the buffers is no output

    steadyTime += numSamples;
}

//==============================================================================
void ClapPluginInstance::getStateInformation (juce::MemoryBlock& destination)
{
    destination.reset();
    if (state == nullptr)
        return;

    clap_ostream stream { &destination, [] (const clap_ostream* s, const void* data, uint64_t size) -> int64_t
    {
        static_cast<juce::MemoryBlock*> (s->ctx)->append (data, (size_t) size);
        return (int64_t) size;
    } };

    if (! state->save (plugin, &stream))
        destination.reset();
}

void ClapPluginInstance::setStateInformation (const void* data, int sizeInBytes)
{
    // An empty state (no data at all) is still handed over: it is a project too.
    if (state == nullptr || sizeInBytes < 0 || (data == nullptr && sizeInBytes > 0))
        return;

    struct Reader { const char* data; int64_t size, position; } reader { static_cast<const char*> (data), sizeInBytes, 0 };
    clap_istream stream { &reader, [] (const clap_istream* s, void* buffer, uint64_t size) -> int64_t
    {
        auto& r = *static_cast<Reader*> (s->ctx);
        const auto n = (int64_t) juce::jmin ((uint64_t) (r.size - r.position), size);
        if (n > 0)
            std::memcpy (buffer, r.data + r.position, (size_t) n);
        r.position += n;
        return n;
    } };

    state->load (plugin, &stream);
    refreshParameterValues();
}

//==============================================================================
ClapPluginInstance& ClapPluginInstance::of (const clap_host* h)
{
    return *static_cast<ClapPluginInstance*> (h->host_data);
}

const void* ClapPluginInstance::hostExtension (const clap_host*, const char* id)
{
    static const clap_host_params params {
        [] (const clap_host* h, clap_param_rescan_flags) { of (h).refreshParameterValues(); },
        [] (const clap_host*, clap_id, clap_param_clear_flags) {},
        [] (const clap_host*) {}
    };
    static const clap_host_state state { [] (const clap_host*) {} };
    static const clap_host_log log { [] (const clap_host*, clap_log_severity severity, const char* message)
    {
        if (severity >= CLAP_LOG_WARNING && message != nullptr)
            std::fprintf (stderr, "CLAP plug-in: %s\n", message);
    } };
    static const clap_host_thread_check threadCheck {
        [] (const clap_host* h) { return ! onAudioThread && std::this_thread::get_id() == of (h).mainThread; },
        [] (const clap_host*) { return onAudioThread; }
    };

    if (std::strcmp (id, CLAP_EXT_PARAMS) == 0)       return &params;
    if (std::strcmp (id, CLAP_EXT_STATE) == 0)        return &state;
    if (std::strcmp (id, CLAP_EXT_LOG) == 0)          return &log;
    if (std::strcmp (id, CLAP_EXT_THREAD_CHECK) == 0) return &threadCheck;
    return nullptr;
}

} // namespace brakkle::host
