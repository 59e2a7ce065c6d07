#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <clap/clap.h>

#include <array>
#include <atomic>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace brakkle::host
{

/** One instance of a CLAP plug-in, hosted the way a CLAP host hosts it and
    offered to the rest of the host code as a juce::AudioPluginInstance (JUCE
    has no CLAP hosting of its own):

    - the .clap file is opened with dlopen and entered through its clap_entry
      (init once per file; files stay open until the program ends, as in most
      hosts), the plug-in made by its plug-in factory from its first descriptor;
    - parameters come from the plug-in's params extension, shown through its
      value_to_text and read through its text_to_value. JUCE's side works in
      0..1, so each parameter maps 0..1 onto the range the plug-in gives
      (min_value..max_value);
    - every block is one clap_process call with the channels in place, a
      clap_event_transport made from the play head's report at the block's
      first sample, the parameter changes queued since the last block as
      CLAP_EVENT_PARAM_VALUE events at their sample (setValueAt), and the
      plug-in's own parameter events read back;
    - state is the plug-in's state extension, written to and read from a
      clap_ostream / clap_istream over the memory block;
    - the ports are one main input and output of one width, mono or stereo.
      A layout of another width is taken when one of the plug-in's port
      configurations (its audio-ports-config extension) has it: that
      configuration is selected while the plug-in is deactivated and the
      ports are read again, as a CLAP host does for a mono track.

    Message thread only, except processBlock(). */
class ClapPluginInstance final : public juce::AudioPluginInstance
{
public:
    /** Opens the .clap file and creates its first plug-in. Null, with the
        reason in errorMessage, when it cannot. */
    static std::unique_ptr<ClapPluginInstance> load (const juce::File& file, juce::String& errorMessage);

    ~ClapPluginInstance() override;

    const clap_plugin_descriptor& descriptor() const noexcept { return *pluginDescriptor; }

    /** The port configurations the plug-in offers, in its order (none when it
        has no audio-ports-config extension). */
    const std::vector<clap_audio_ports_config>& portsConfigs() const noexcept { return configs; }

    /** Asks the plug-in to select one of its port configurations, as a host
        does (only while it is deactivated: releaseResources()). True when it
        did; the ports are then read again. applyBusLayouts() deactivates and
        selects the one of the layout's width. */
    bool selectPortsConfig (clap_id id);

    /** What the plug-in's audio-ports extension says about its first input or
        output port now (all zero when it has no such port). */
    clap_audio_port_info mainPort (bool isInput) const;

    /** What the plug-in's params extension says about a parameter (by index). */
    const clap_param_info& parameterInfo (int index) const;

    /** Queues a change of a parameter to a normalised value for the next block,
        as an event at that sample of it (0: the block's first). */
    void setValueAt (int parameterIndex, float normalised, int sampleOffset);

    /** Runs what the plug-in asked to run on the main thread (request_callback). */
    void runMainThreadRequests();

    //==============================================================================
    void fillInPluginDescription (juce::PluginDescription&) const override;
    const juce::String getName() const override;

    void prepareToPlay (double sampleRate, int maximumBlockSize) override;
    void releaseResources() override;
    void processBlock (juce::AudioBuffer<float>&, juce::MidiBuffer&) override;
    using juce::AudioPluginInstance::processBlock;

    bool isBusesLayoutSupported (const BusesLayout&) const override;

    double getTailLengthSeconds() const override { return 0.0; }
    bool acceptsMidi() const override { return false; }
    bool producesMidi() const override { return false; }

    juce::AudioProcessorEditor* createEditor() override { return nullptr; }
    bool hasEditor() const override { return false; }

    int getNumPrograms() override { return 1; }
    int getCurrentProgram() override { return 0; }
    void setCurrentProgram (int) override {}
    const juce::String getProgramName (int) override { return {}; }
    void changeProgramName (int, const juce::String&) override {}

    void getStateInformation (juce::MemoryBlock&) override;
    void setStateInformation (const void* data, int sizeInBytes) override;

protected:
    bool applyBusLayouts (const BusesLayout&) override;

private:
    class Parameter;
    struct PendingChange { int index; double value; int sampleOffset; };

    ClapPluginInstance (const juce::File&, const clap_plugin_entry&, const clap_plugin_descriptor&,
                        const BusesProperties&, int portChannels);

    bool create (juce::String& errorMessage);
    /** The width of the plug-in's ports (1 or 2); 0 unless they are one main
        input and one main output of the same width. */
    int portWidth() const;
    static BusesLayout layoutOfWidth (int channels);
    void readPortsConfigs();
    const clap_audio_ports_config* configOfWidth (int channels) const;
    void readParameters();
    void refreshParameterValues();
    void stopAndDeactivate();
    std::optional<clap_event_transport> transportForBlock() const;
    uint32_t gatherEvents (int numSamples);
    void readOutputEvent (const clap_event_header&);

    static const void* hostExtension (const clap_host*, const char* id);
    static ClapPluginInstance& of (const clap_host*);

    const juce::File file;
    const clap_plugin_entry& entry;
    const clap_plugin_descriptor* pluginDescriptor;
    int channelsPerPort;

    clap_host host {};
    const clap_plugin* plugin = nullptr;
    const clap_plugin_params* params = nullptr;
    const clap_plugin_state* state = nullptr;
    const clap_plugin_audio_ports* ports = nullptr;
    const clap_plugin_audio_ports_config* portsConfig = nullptr;
    std::vector<clap_audio_ports_config> configs;

    std::vector<Parameter*> parameters;
    bool active = false, processing = false;
    int maxBlock = 0;
    int64_t steadyTime = 0;
    std::atomic<bool> callbackRequested { false };
    const std::thread::id mainThread = std::this_thread::get_id();
    static thread_local bool onAudioThread;

    // Parameter changes from the message thread to the next block; the block's events.
    static constexpr int maxChanges = 1024;
    juce::AbstractFifo changeFifo { maxChanges };
    std::array<PendingChange, maxChanges> changes {};
    std::array<clap_event_param_value, maxChanges> blockEvents {};
    uint32_t numBlockEvents = 0;
    std::array<float*, 2> channelPointers {};

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ClapPluginInstance)
};

} // namespace brakkle::host
