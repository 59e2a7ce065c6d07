#include "SliceStorage.h"

#include <new>
#include <utility>

namespace brakkle
{

namespace
{
    struct Size
    {
        int channels = 0;
        int samples = 0;
    };

    /** Both figures in one atomic word, so that a reader never sees the channels
        of one size with the samples of another. */
    std::uint64_t pack (Size s) noexcept
    {
        return ((std::uint64_t) (std::uint32_t) s.channels << 32) | (std::uint32_t) s.samples;
    }

    Size unpack (std::uint64_t word) noexcept
    {
        return { (int) (std::uint32_t) (word >> 32), (int) (std::uint32_t) word };
    }

    bool covers (Size outer, Size inner) noexcept
    {
        return outer.channels >= inner.channels && outer.samples >= inner.samples;
    }

    Size largest (Size a, Size b) noexcept
    {
        return { juce::jmax (a.channels, b.channels), juce::jmax (a.samples, b.samples) };
    }
}

//==============================================================================
/** One allocation of slice storage. The buffer was sized to `size` when it was
    made and is only ever resized within it (avoidReallocating): AudioBuffer's
    storage for c × n grows with both c and n, so anything the size covers fits. */
struct SliceStorage::Store
{
    Store() = default;
    explicit Store (Size s) : size (s) { buffer.setSize (s.channels, s.samples); }

    Size size;
    juce::AudioBuffer<float> buffer;
};

//==============================================================================
class SliceStorage::Helper final : public juce::Thread
{
public:
    explicit Helper (SliceStorage& owner) : juce::Thread ("Brakkle slices"), storage (owner) {}

    void run() override
    {
        // Asleep until the audio thread asks for a store or hands one back:
        // an instance that asks for nothing wakes nothing.
        while (! threadShouldExit())
        {
            storage.serviceRequests();
            storage.wakeUp.waitUntilAsked();
        }
    }

private:
    SliceStorage& storage;
};

//==============================================================================
SliceStorage::SliceStorage()
    : current (new Store()),
      helper (std::make_unique<Helper> (*this))
{
}

SliceStorage::~SliceStorage()
{
    // Waits for the helper however long it takes: killed mid-allocation, it
    // would leave a store half made. Once it has stopped, every store is here.
    helper->signalThreadShouldExit();
    wakeUp.ask();
    helper->stopThread (-1);

    delete fresh.exchange (nullptr, std::memory_order_acquire);
    delete retired.exchange (nullptr, std::memory_order_acquire);
    delete current;
}

std::size_t SliceStorage::bytesFor (int channels, int samples) noexcept
{
    // As juce::AudioBuffer<float>::setSize sizes its block: each channel rounded
    // up to whole groups of four samples, after the list of channel pointers (one
    // more than the channels, rounded up to 16 bytes), and 32 bytes to spare.
    const auto samplesPerChannel = ((std::size_t) juce::jmax (0, samples) + 3) & ~(std::size_t) 3;
    const auto channelList = (((std::size_t) juce::jmax (0, channels) + 1) * sizeof (float*) + 15) & ~(std::size_t) 15;
    return (std::size_t) juce::jmax (0, channels) * samplesPerChannel * sizeof (float) + channelList + 32;
}

std::size_t SliceStorage::bytesHeld() const noexcept
{
    const auto size = unpack (held.load (std::memory_order_relaxed));
    return size.channels == 0 && size.samples == 0 ? 0 : bytesFor (size.channels, size.samples);
}

juce::AudioBuffer<float>& SliceStorage::slice() noexcept              { return current->buffer; }
const juce::AudioBuffer<float>& SliceStorage::slice() const noexcept  { return current->buffer; }

//==============================================================================
void SliceStorage::reserve (int channels, int samples)
{
    const auto have = current->size;
    const auto need = largest (have, { juce::jmax (0, channels), juce::jmax (0, samples) });

    if (! covers (have, need))
    {
        // A larger store with the slice in use copied in, at its size.
        auto grown = std::make_unique<Store> (need);
        const auto& slice = current->buffer;
        grown->buffer.clear();

        for (int c = 0; c < slice.getNumChannels(); ++c)
            grown->buffer.copyFrom (c, 0, slice, c, 0, slice.getNumSamples());

        grown->buffer.setSize (slice.getNumChannels(), slice.getNumSamples(), true, false, true);

        // The audio thread is not running while its host prepares, and the
        // helper never touches `current`: the old store can go right here.
        delete std::exchange (current, grown.release());
        held.store (pack (need), std::memory_order_relaxed);
    }

    if (! helper->isThreadRunning())
        helper->startThread();
}

int SliceStorage::startSlice (int channels, int samples) noexcept
{
    channels = juce::jmax (0, channels);
    samples = juce::jmax (0, samples);

    takeLargerStore();

    const auto have = current->size;

    if (! covers (have, { channels, samples }))
        ask (channels, samples);

    const bool channelsHeld = channels <= have.channels;
    const int length = channelsHeld ? juce::jmin (samples, have.samples) : 0;

    auto& buffer = current->buffer;
    buffer.setSize (channelsHeld ? channels : have.channels, length, false, false, true);
    buffer.clear();
    return length;
}

void SliceStorage::takeLargerStore() noexcept
{
    // One store travels each way at a time. Until the helper has taken the last
    // one handed back, a store that has arrived waits. (Relaxed: the helper's
    // emptying of the slot hands over nothing to read.)
    if (retired.load (std::memory_order_relaxed) != nullptr)
        return;

    // Acquire: the helper made the store, then released it into the slot; its
    // buffer is complete when seen here.
    auto* arrived = fresh.load (std::memory_order_acquire);

    if (arrived == nullptr)
        return;

    // A store sized from an older figure than reserve() left may be smaller than
    // the one in use: then it goes back unused.
    auto* givenUp = arrived;

    if (covers (arrived->size, current->size))
    {
        givenUp = std::exchange (current, arrived);
        held.store (pack (arrived->size), std::memory_order_relaxed);
    }

    // Release: once the helper sees the slot empty it also sees `held` above and
    // does not make the same store again.
    fresh.store (nullptr, std::memory_order_release);

    // Release: everything this thread wrote into the store given up happens
    // before the helper frees it.
    retired.store (givenUp, std::memory_order_release);
    wakeUp.ask();
}

void SliceStorage::ask (int channels, int samples) noexcept
{
    // Only this thread writes `wanted`: the largest size asked for so far, so a
    // shorter request never hides a longer one the helper has not yet seen. The
    // word itself is the whole message: relaxed.
    const auto asked = unpack (wanted.load (std::memory_order_relaxed));
    const auto next = largest (asked, { channels, samples });

    if (! covers (asked, next))
        wanted.store (pack (next), std::memory_order_relaxed);

    // Asked at every start that needs more, so a store the helper could not
    // make (no memory then) is tried again at the next one.
    wakeUp.ask();
}

void SliceStorage::serviceRequests()
{
    // Acquire: pairs with the audio thread's release when it handed the store back.
    delete retired.exchange (nullptr, std::memory_order_acquire);

    // The last store made is not taken yet: nothing more until it is.
    if (fresh.load (std::memory_order_acquire) != nullptr)
        return;

    const auto have = unpack (held.load (std::memory_order_relaxed));
    const auto want = unpack (wanted.load (std::memory_order_relaxed));

    if (covers (have, want))
        return;

    try
    {
        auto store = std::make_unique<Store> (largest (have, want));
        fresh.store (store.release(), std::memory_order_release);
    }
    catch (const std::bad_alloc&)
    {
        // No room now: the request stands and is tried again when next asked.
    }
}

} // namespace brakkle
