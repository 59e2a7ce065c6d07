#pragma once

#include "WakeUp.h"

#include <juce_audio_basics/juce_audio_basics.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace brakkle
{

/** Where the recorded slice lives, grown without allocating on the audio thread.

    reserve() (off the audio thread, from prepare) sets aside room for the slices
    expected. A slice start that needs more than that is granted what is held,
    and a helper thread allocates a larger store, which the audio thread takes
    at a later slice start by swapping a pointer. The helper frees the store
    that was given up. It sleeps until the audio thread asks (WakeUp), so an
    instance whose slices fit wakes no thread at all. So a slow project's longest slice comes out short once,
    then whole, and no instance holds the worst case unless it plays it.

    Threads: reserve() and startSlice() are never called at the same time (a
    host does not process while it prepares); slice() belongs to whoever calls
    startSlice(). Not copyable: one helper thread per storage. */
class SliceStorage
{
public:
    SliceStorage();

    /** Stops the helper thread and frees every store, whether in use, on its
        way in or handed back. */
    ~SliceStorage();

    /** Off the audio thread: room for `channels` × `samples` in each dimension,
        kept if a larger store is already held. The slice in use, its size and
        its samples survive. Also starts the helper thread. */
    void reserve (int channels, int samples);

    /** Audio thread: a new slice of `channels` × length, cleared, where length
        is `samples` or, if fewer are held, what is held. More than is held is
        asked of the helper thread (running once reserve() has been called) and
        taken at a later call. Channels beyond
        those held give an empty slice (the held channels, no samples) until a
        store with them arrives. No lock, no allocation, no waiting.
        Returns the length granted. */
    int startSlice (int channels, int samples) noexcept;

    /** The current slice, sized by the last startSlice() (or as reserve() left
        it). Valid until the next startSlice() or reserve(); do not resize it. */
    juce::AudioBuffer<float>& slice() noexcept;
    const juce::AudioBuffer<float>& slice() const noexcept;

    /** The bytes of sample storage the slice can use without reallocating (a
        larger store on its way in, or a smaller one handed back, exists beside
        it for a few milliseconds). Safe from any thread. */
    std::size_t bytesHeld() const noexcept;

    /** The bytes juce::AudioBuffer<float> allocates for `channels` × `samples`. */
    static std::size_t bytesFor (int channels, int samples) noexcept;

    SliceStorage (const SliceStorage&) = delete;
    SliceStorage& operator= (const SliceStorage&) = delete;

private:
    struct Store;
    class Helper;

    void takeLargerStore() noexcept;   // audio thread
    void ask (int channels, int samples) noexcept;   // audio thread
    void serviceRequests();            // helper thread

    Store* current = nullptr;                  // the audio thread's (and reserve()'s)
    std::atomic<Store*> fresh { nullptr };     // helper -> audio thread: a larger store
    std::atomic<Store*> retired { nullptr };   // audio thread -> helper: a store to free
    std::atomic<std::uint64_t> wanted { 0 };   // audio thread -> helper: the largest size asked for
    std::atomic<std::uint64_t> held { 0 };     // the size `current` holds, for the helper and bytesHeld()
    WakeUp wakeUp;                             // audio thread -> helper: look (it sleeps otherwise)
    std::unique_ptr<Helper> helper;
};

} // namespace brakkle
