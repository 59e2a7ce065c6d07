#pragma once

#include "PluginHost.h"

namespace brakkle::render
{

/** What a host reads from a loaded plug-in, as text: its format, name, maker,
    version and category (a CLAP plug-in's ID and features), then every
    parameter with its ID, name, default and current value as the plug-in
    shows them, and its steps. */
juce::String describePlugin (host::HostedPlugin& plugin);

} // namespace brakkle::render
