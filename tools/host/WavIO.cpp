#include "WavIO.h"

#include <juce_audio_formats/juce_audio_formats.h>

namespace brakkle::host
{

bool readWav (const juce::File& file, Audio& audio, juce::String& errorMessage)
{
    if (! file.existsAsFile())
    {
        errorMessage = "no such file: " + file.getFullPathName();
        return false;
    }

    juce::WavAudioFormat wav;
    std::unique_ptr<juce::AudioFormatReader> reader (wav.createReaderFor (file.createInputStream().release(), true));

    if (reader == nullptr)
    {
        errorMessage = "not a readable WAV file: " + file.getFullPathName();
        return false;
    }

    if (reader->numChannels < 1 || reader->lengthInSamples > std::numeric_limits<int>::max())
    {
        errorMessage = "unsupported WAV file (no channels or too long): " + file.getFullPathName();
        return false;
    }

    audio.sampleRate = reader->sampleRate;
    audio.samples.setSize ((int) reader->numChannels, (int) reader->lengthInSamples);
    reader->read (&audio.samples, 0, (int) reader->lengthInSamples, 0, true, true);
    return true;
}

bool writeWav (const juce::File& file, const Audio& audio, int bitsPerSample, juce::String& errorMessage)
{
    if (bitsPerSample != 16 && bitsPerSample != 24 && bitsPerSample != 32)
    {
        errorMessage = "bits per sample must be 16, 24 or 32";
        return false;
    }

    juce::TemporaryFile temporary (file);

    {
        std::unique_ptr<juce::OutputStream> stream (temporary.getFile().createOutputStream().release());

        if (stream == nullptr)
        {
            errorMessage = "cannot write to " + file.getFullPathName();
            return false;
        }

        // 32-bit WAV is written as floating point.
        juce::WavAudioFormat wav;
        std::unique_ptr<juce::AudioFormatWriter> writer (wav.createWriterFor (stream.get(),
                                                                              audio.sampleRate,
                                                                              (unsigned int) audio.samples.getNumChannels(),
                                                                              bitsPerSample,
                                                                              {},
                                                                              0));
        if (writer != nullptr)
            stream.release();   // the writer owns it now

        if (writer == nullptr)
        {
            errorMessage = "cannot write a WAV file with these settings to " + file.getFullPathName();
            return false;
        }

        if (! writer->writeFromAudioSampleBuffer (audio.samples, 0, audio.samples.getNumSamples()))
        {
            errorMessage = "writing failed: " + file.getFullPathName();
            return false;
        }
    }

    if (! temporary.overwriteTargetFileWithTemporary())
    {
        errorMessage = "cannot replace " + file.getFullPathName();
        return false;
    }

    return true;
}

} // namespace brakkle::host
