#pragma once

// How often this process's threads were switched out (Linux's counts in
// /proc/self/task): how a test or the benchmark tells whether idle threads wake.

#include <juce_core/juce_core.h>

#include <fstream>
#include <string>

namespace brakkle::test
{

struct ThreadSwitches
{
    int threads = 0;
    long switches = 0;   // voluntary and involuntary, summed
};

/** The context switches so far of this process's threads with this name
    (every thread when the name is empty). Nothing where there is no /proc. */
inline ThreadSwitches threadSwitches (const juce::String& name = {})
{
    ThreadSwitches found;

    for (const auto& task : juce::File ("/proc/self/task").findChildFiles (juce::File::findDirectories, false))
    {
        if (name.isNotEmpty() && task.getChildFile ("comm").loadFileAsString().trim() != name)
            continue;

        ++found.threads;
        std::ifstream status (task.getChildFile ("status").getFullPathName().toStdString());
        std::string key;
        long value = 0;

        while (status >> key)
            if (key == "voluntary_ctxt_switches:" || key == "nonvoluntary_ctxt_switches:")
                if (status >> value)
                    found.switches += value;
    }

    return found;
}

} // namespace brakkle::test
