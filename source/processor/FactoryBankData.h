#pragma once

#include <vector>

/** One preset of the factory bank as its file holds it: generated at configure
    time from resources/presets (see cmake/FactoryBank.cmake). */
struct FactoryBankEntry
{
    const char* group;
    const char* name;
    const char* document;   // the saved state's XML text
};

/** The factory bank, in the order Bank.txt lists it. */
const std::vector<FactoryBankEntry>& factoryBankEntries();
